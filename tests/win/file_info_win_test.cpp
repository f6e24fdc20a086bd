// written by the Win32-layer tests
