#pragma once
// What a page of a window asks of the window that holds it.

namespace corvandel {

class PageHost {
  public:
    virtual ~PageHost() = default;
    // The window's left page buttons, disabled while a page's command runs.
    virtual void EnablePanel(bool enabled) = 0;
    virtual int Dpi() const = 0;
};

}  // namespace corvandel
