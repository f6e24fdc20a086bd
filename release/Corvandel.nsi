; The installer of Corvandel, built by scripts/release.sh with makensis:
;   makensis -DVERSION=1.2.3.4 -DSOURCE=<staged files> -DFILES=<files.nsh> -DOUTFILE=<exe> Corvandel.nsi
; Besides its wizard it takes the switches the program's updater passes:
;   /SILENT             no wizard pages, only the progress
;   /SUPPRESSMSGBOXES   every question takes its default answer
;   /CLOSEAPPLICATIONS  a running Corvandel is waited for, then closed
;   /LANG=<name>        Russian or English (any other name, or none: English)
;   /MERGETASKS="runcmd1"  starts the program when done
; and NSIS's own /S (nothing shown at all) and /D=<folder>.

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include WordFunc.nsh
!include WinMessages.nsh

!define PRODUCT "Corvandel"
!define PUBLISHER "Corvandel"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvandel"
!define MAIN_CLASS "TForm1"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; The program is a 32-bit one: it goes to the 32-bit Program Files folder.
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Var Silent
Var SuppressBoxes
Var CloseApps
Var RunAfter

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Corvandel.exe"

!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipWhenSilent
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipWhenSilent
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipWhenSilent
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

LangString ProgramRunning ${LANG_ENGLISH} "Corvandel is running. It will be closed to continue."
LangString ProgramRunning ${LANG_RUSSIAN} "Corvandel запущен. Для продолжения он будет закрыт."
LangString ProgramStillRunning ${LANG_ENGLISH} "Corvandel could not be closed. Close it and try again."
LangString ProgramStillRunning ${LANG_RUSSIAN} "Не удалось закрыть Corvandel. Закройте его и повторите попытку."
LangString KeepUserData ${LANG_ENGLISH} "Keep the registry backups, uninstall records and quarantined files made with Corvandel?$\r$\n$\r$\nThey stay in $INSTDIR (backup) and $APPDATA\Corvandel (records, quarantine), and a newly installed Corvandel finds them there. Choose No to delete them now."
LangString KeepUserData ${LANG_RUSSIAN} "Сохранить резервные копии реестра, записи об удалениях и файлы карантина, сделанные в Corvandel?$\r$\n$\r$\nОни останутся в $INSTDIR (backup) и $APPDATA\Corvandel (records, quarantine), и заново установленный Corvandel найдет их там. Выберите «Нет», чтобы удалить их сейчас."
LangString UserDataKept ${LANG_ENGLISH} "Backups, records and quarantine kept in $INSTDIR and $APPDATA\Corvandel"
LangString UserDataKept ${LANG_RUSSIAN} "Резервные копии, записи и карантин сохранены в $INSTDIR и $APPDATA\Corvandel"

; Waits for the Corvandel of this installation to end: a copy that is updating itself ends on
; its own; any other one is asked to close (with a question unless told to close
; applications). Quits when it is still running. Many unrelated programs use the same window
; class: only a window whose process runs "$INSTDIR\Corvandel.exe" is ever closed.
!macro CLOSE_PROGRAM un
Function ${un}CloseProgram
  StrCpy $0 0
  find:
  FindWindow $0 "${MAIN_CLASS}" "" 0 $0
  ${If} $0 = 0
    Return
  ${EndIf}
  System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
  ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
  System::Call 'kernel32::OpenProcess(i 0x00101000, i 0, i r1) p .r2'
  ${If} $2 P= 0
    Goto find
  ${EndIf}
  StrCpy $4 ${NSIS_MAX_STRLEN}
  System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r5, *i r4) i .r6'
  ${If} $6 = 0
  ${OrIf} $5 != "$INSTDIR\Corvandel.exe"
    System::Call 'kernel32::CloseHandle(p r2)'
    Goto find
  ${EndIf}
  ; A copy that is updating itself is on its way out: it gets a moment to end.
  StrCpy $3 1
  ${If} $CloseApps = 1
    System::Call 'kernel32::WaitForSingleObject(p r2, i 5000) i .r3'
  ${EndIf}
  ${If} $3 <> 0
    ${If} $CloseApps <> 1
    ${AndIf} $SuppressBoxes <> 1
      MessageBox MB_OKCANCEL|MB_ICONINFORMATION "$(ProgramRunning)" /SD IDOK IDOK close
      System::Call 'kernel32::CloseHandle(p r2)'
      Quit
    ${EndIf}
    close:
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    System::Call 'kernel32::WaitForSingleObject(p r2, i 15000) i .r3'
  ${EndIf}
  System::Call 'kernel32::CloseHandle(p r2)'
  ${If} $3 <> 0
    MessageBox MB_OK|MB_ICONSTOP "$(ProgramStillRunning)" /SD IDOK
    Quit
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CLOSE_PROGRAM ""
!insertmacro CLOSE_PROGRAM "un."

Function .onInit
  SetShellVarContext all
  ${GetParameters} $R0
  StrCpy $Silent 0
  StrCpy $SuppressBoxes 0
  StrCpy $CloseApps 0
  StrCpy $RunAfter 0
  ClearErrors
  ${GetOptions} $R0 "/SILENT" $R1
  ${IfNot} ${Errors}
    StrCpy $Silent 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/SUPPRESSMSGBOXES" $R1
  ${IfNot} ${Errors}
    StrCpy $SuppressBoxes 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CLOSEAPPLICATIONS" $R1
  ${IfNot} ${Errors}
    StrCpy $CloseApps 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/MERGETASKS=" $R1
  ${IfNot} ${Errors}
    ; A comma-separated list of tasks, possibly quoted.
    ${WordReplace} "$R1" '"' "" "+" $R1
    ClearErrors
    ${WordFind} ",$R1," ",runcmd1," "E+1{" $R2
    ${IfNot} ${Errors}
      StrCpy $RunAfter 1
    ${EndIf}
  ${EndIf}
  StrCpy $LANGUAGE ${LANG_ENGLISH}
  ClearErrors
  ${GetOptions} $R0 "/LANG=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == "Russian"
    StrCpy $LANGUAGE ${LANG_RUSSIAN}
  ${EndIf}
FunctionEnd

Function SkipWhenSilent
  ${If} $Silent = 1
    Abort
  ${EndIf}
FunctionEnd

Section "Corvandel"
  Call CloseProgram
  SetOutPath "$INSTDIR"
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\uninst.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Corvandel.exe"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Corvandel.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninst.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninst.exe" /S'
  WriteRegStr HKLM "${UNINST_KEY}" "InstallerLanguage" "$LANGUAGE"
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetTime} "" "L" $0 $1 $2 $3 $4 $5 $6
  WriteRegStr HKLM "${UNINST_KEY}" "InstallDate" "$2$1$0"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"

  ${If} $Silent = 1
    SetAutoClose true
  ${EndIf}
SectionEnd

Function .onInstSuccess
  ${If} $RunAfter = 1
    Exec '"$INSTDIR\Corvandel.exe"'
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  StrCpy $SuppressBoxes 0
  StrCpy $CloseApps 0
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallerLanguage"
  ${If} $0 != ""
    StrCpy $LANGUAGE $0
  ${EndIf}
FunctionEnd

; Deletes a folder and everything in it. A link or junction met on the way is removed as
; itself, never followed: what it leads to is somebody else's.
Function un.RemoveTree
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  ClearErrors
  FindFirst $R1 $R2 "$R0\*.*"
  ${DoUntil} ${Errors}
    ${IfThen} $R2 == "" ${|} ${ExitDo} ${|}
    ${If} $R2 != "."
    ${AndIf} $R2 != ".."
      ${GetFileAttributes} "$R0\$R2" "REPARSE_POINT" $R3
      ${If} $R3 = 1
        RMDir "$R0\$R2"
        Delete "$R0\$R2"
      ${ElseIf} ${FileExists} "$R0\$R2\*.*"
        Push "$R0\$R2"
        Call un.RemoveTree
      ${Else}
        SetFileAttributes "$R0\$R2" NORMAL
        Delete "$R0\$R2"
      ${EndIf}
    ${EndIf}
    ClearErrors
    FindNext $R1 $R2
  ${Loop}
  FindClose $R1
  RMDir "$R0"
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; The backups, uninstall records and quarantine the user made with this copy are theirs: they
; can bring back keys, files and whole programs. The backups lie beside the program, the records
; and the quarantine in the machine's ProgramData (older versions kept them beside the program
; too). They go only when the user says so in the wizard; a silent uninstall keeps them.
Function un.UserData
  StrCpy $1 0
  ${ForEach} $0 1 6 + 1
    ${Select} $0
      ${Case} 1
        StrCpy $2 "$INSTDIR\backup"
      ${Case} 2
        StrCpy $2 "$INSTDIR\records"
      ${Case} 3
        StrCpy $2 "$INSTDIR\quarantine"
      ${Case} 4
        StrCpy $2 "$APPDATA\Corvandel\records"
      ${Case} 5
        StrCpy $2 "$APPDATA\Corvandel\quarantine"
      ${Case} 6
        StrCpy $2 "$APPDATA\Corvandel"
    ${EndSelect}
    ${DirState} "$2" $3
    ${If} $3 = 1
      StrCpy $1 1
    ${Else}
      RMDir "$2"
    ${EndIf}
  ${Next}
  ${If} $1 = 0
    Return
  ${EndIf}
  MessageBox MB_YESNO|MB_ICONQUESTION "$(KeepUserData)" /SD IDYES IDYES keep
  Push "$INSTDIR\backup"
  Call un.RemoveTree
  Push "$INSTDIR\records"
  Call un.RemoveTree
  Push "$INSTDIR\quarantine"
  Call un.RemoveTree
  Push "$APPDATA\Corvandel"
  Call un.RemoveTree
  Return
  keep:
  DetailPrint "$(UserDataKept)"
FunctionEnd

Section "Uninstall"
  Call un.CloseProgram
  !include "${UNFILES}"
  Delete "$INSTDIR\uninst.exe"
  Call un.UserData
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINST_KEY}"
  SetAutoClose true
SectionEnd
