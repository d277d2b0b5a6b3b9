#include "shell/window_layout.h"

#include "shell/control_names.h"
#include "text/program_texts.h"

namespace pv::shell {

std::vector<ControlLayout> MainWindowControls() {
    const text::ProgramTexts& t = text::Texts();
    using K = ControlKind;
    const auto centred = TextAlignment::kCenter;
    return {
        {kUrlGroup, K::kGroupBox, {}, 10, 10, 439, 84, t.groupTarget},
        {kUrlLabel, K::kLabel, kUrlGroup, 15, 18, 80, 24, t.labelUrl},
        {kUrlEdit, K::kEditBox, kUrlGroup, 100, 20, 314, 20, std::string(kDefaultUrl)},
        {kFeatureLabel, K::kLabel, kUrlGroup, 15, 48, 68, 24, t.labelFeature},
        {kFeatureEdit, K::kEditBox, kUrlGroup, 100, 49, 165, 20, t.defaultFeature},
        {kUtfDecodeCheck, K::kCheckBox, kUrlGroup, 280, 48, 64, 24, t.captionUtfDecode, true, true},
        {kTestButton, K::kButton, kUrlGroup, 356, 47, 58, 24, t.captionTest},
        {kSettingsGroup, K::kGroupBox, {}, 10, 101, 439, 54, t.groupSettings},
        {kThreadsLabel, K::kLabel, kSettingsGroup, 16, 19, 72, 24, t.labelThreads},
        {kThreadsEdit, K::kEditBox, kSettingsGroup, 88, 21, 36, 20, "500", true, false, 4, centred},
        {kConnectTimeoutLabel, K::kLabel, kSettingsGroup, 140, 18, 80, 24, t.labelConnectTimeout},
        {kConnectTimeoutEdit, K::kEditBox, kSettingsGroup, 223, 20, 48, 20, "5000", true, false, 5,
         centred},
        {kVerifyTimeoutLabel, K::kLabel, kSettingsGroup, 288, 18, 80, 24, t.labelVerifyTimeout},
        {kVerifyTimeoutEdit, K::kEditBox, kSettingsGroup, 371, 20, 48, 20, "15000", true, false, 5,
         centred},
        {kProxyGroup, K::kGroupBox, {}, 10, 162, 439, 244, t.groupProxies},
        {kProxyList, K::kList, kProxyGroup, 8, 18, 422, 217, {}},
        {kFileDialog, K::kFileDialog, kProxyGroup, 0, 0, 0, 0, {}},
        {kLink, K::kLink, {}, 15, 416, 120, 24, t.linkCaption},
        {kImportButton, K::kButton, {}, 153, 416, 64, 24, t.captionImport},
        {kExportButton, K::kButton, {}, 228, 416, 64, 24, t.captionExport},
        {kStartStopButton, K::kButton, {}, 303, 416, 64, 24, t.captionStart},
        {kPauseResumeButton, K::kButton, {}, 378, 416, 64, 24, t.captionPause, false},
        {kStatusBar, K::kStatusBar, {}, 0, 455, 459, 20, {}},
    };
}

std::vector<StatusPaneLayout> MainWindowStatusPanes() {
    const text::ProgramTexts& t = text::Texts();
    return {{103, t.paneTotal + "0"},
            {118, t.paneDone + "0"},
            {118, t.paneValid + "0"},
            {118, t.paneInvalid + "0"}};
}

} // namespace pv::shell
