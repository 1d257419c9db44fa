// The program's only window, built from plain Win32 controls: a window class, a window procedure
// and a message loop, with the nineteen controls of WindowLayout as its children.
//
// It implements Controls for the window's logic (frmMain) and hands it the window's events: the
// clicks of the five buttons and, with key preview, every key release in the window.
//
// <windows.h> defines macros named like the constants of WindowsApi.h, so the seam headers (through
// frmMain.h) come first here, and Windows' own types are written with "::" (pindrel has its own
// LRESULT, UINT, ... of the same names).
#pragma once

#include "WindowLayout.h"
#include "frmMain.h"
#include "platform/Controls.h"

#include <array>
#include <cstddef>
#include <string>

#include <windows.h>
// windows.h turns these names into other functions; the seam uses them as method names.
#undef ReplaceFile
#undef RtlMoveMemory

namespace pindrel {

class MainWindow final : public Controls {
  public:
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window and its controls, hidden. Throws std::runtime_error naming the window
    // when Windows refuses.
    void Create();
    // The logic that receives the window's events; nullptr detaches it.
    void Attach(frmMain* logic) { logic_ = logic; }
    // Whether the logic has asked for the window to close.
    bool closeRequested() const { return closeRequested_; }
    // Shows the window for the first time, with the focus on "Save".
    void Show(int showCommand);
    // Destroys the window (also one that was never shown).
    void Destroy();
    // Runs the message loop until the window has closed; returns the process's exit code.
    int RunMessageLoop();
    HWND hwnd() const { return hwnd_; }

    // ---- Controls --------------------------------------------------------------------------
    std::string GetText(TextBox box) override;
    void SetText(TextBox box, const std::string& text) override;
    void ComboAddItem(const std::string& text) override;
    bool ComboSelectText(const std::string& text) override;
    int ComboListIndex() override;
    std::string ComboItemText(int index) override;
    void SetEnabled(Button button, bool enabled) override;
    bool IsEnabled(Button button) override;
    void CloseWindow() override;
    void ShowError(const std::string& message) override;

  private:
    static ::LRESULT CALLBACK WindowProc(HWND window, ::UINT message, ::WPARAM wParam,
                                         ::LPARAM lParam);
    ::LRESULT HandleMessage(::UINT message, ::WPARAM wParam, ::LPARAM lParam);

    void CreateControls();
    // Places the controls and sizes the client area for `dpi` dots per inch, with a font to match.
    void ApplyLayout(::UINT dpi);
    // Key preview: hands a key release in the window to Form_KeyUp before the control sees it.
    // Returns true when the window is gone afterwards.
    bool PreviewKeyUp(const MSG& message);
    void OnButton(Button button);
    void RestoreFocus();

    HWND ControlWindow(const char* name) const;
    HWND TextBoxWindow(TextBox box) const;
    HWND ButtonWindow(Button button) const;
    HWND ComboWindow() const;

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    std::array<HWND, layout::kControlCount> controls_{};
    frmMain* logic_ = nullptr;
    ::UINT dpi_ = 96;
    // A font made for a DPI other than the system's; the stock font is used otherwise.
    HFONT scaledFont_ = nullptr;
    bool shown_ = false;
    bool closeRequested_ = false;
    bool inHandler_ = false;
    // The control to give the focus back to when the window is activated again.
    HWND lastFocus_ = nullptr;
};

} // namespace pindrel
