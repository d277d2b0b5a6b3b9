#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pv::shell {

enum class ControlKind {
    kGroupBox,
    kLabel,
    kEditBox,
    kCheckBox,
    kButton,
    kList,
    kFileDialog,
    kLink,
    kStatusBar
};

enum class TextAlignment { kLeft, kCenter };

// One control of the main window as it is when the window opens. Positions are relative to
// the parent's client area (the window's, or the named group box's).
struct ControlLayout {
    std::string_view name;
    ControlKind kind;
    std::string_view parent; // empty: the window
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::string text; // caption or initial text, code page 936
    bool enabled = true;
    bool checked = false;
    int maxLength = 0; // 0: no limit
    TextAlignment alignment = TextAlignment::kLeft;
};

struct StatusPaneLayout {
    int width;
    std::string text; // code page 936
};

// The address the URL box starts with: the home page of a public search site whose page
// holds the default feature string.
inline constexpr std::string_view kDefaultUrl = "http://www.baidu.com/";

std::vector<ControlLayout> MainWindowControls();
std::vector<StatusPaneLayout> MainWindowStatusPanes();

} // namespace pv::shell
