#pragma once

#include <string_view>

namespace pv::shell {

// The names of the main window's controls, which are also their object names. They are
// identifiers in UTF-8, not texts the user reads.
inline constexpr std::string_view kUrlGroup = "分组框1";
inline constexpr std::string_view kUrlLabel = "标签1";
inline constexpr std::string_view kUrlEdit = "编辑框_验证网址";
inline constexpr std::string_view kFeatureLabel = "标签2";
inline constexpr std::string_view kFeatureEdit = "编辑框_验证字符串";
inline constexpr std::string_view kUtfDecodeCheck = "选择框_UTF解码";
inline constexpr std::string_view kTestButton = "按钮_测试";
inline constexpr std::string_view kSettingsGroup = "分组框3";
inline constexpr std::string_view kThreadsLabel = "标签5";
inline constexpr std::string_view kThreadsEdit = "编辑框_并发线程数";
inline constexpr std::string_view kConnectTimeoutLabel = "标签3";
inline constexpr std::string_view kConnectTimeoutEdit = "编辑框_连接超时";
inline constexpr std::string_view kVerifyTimeoutLabel = "标签4";
inline constexpr std::string_view kVerifyTimeoutEdit = "编辑框_验证超时";
inline constexpr std::string_view kProxyGroup = "分组框2";
inline constexpr std::string_view kProxyList = "列表_代理";
inline constexpr std::string_view kFileDialog = "通用对话框_浏览";
inline constexpr std::string_view kLink = "超级链接框1";
inline constexpr std::string_view kImportButton = "按钮_导入";
inline constexpr std::string_view kExportButton = "按钮_导出";
inline constexpr std::string_view kStartStopButton = "按钮_开始停止";
inline constexpr std::string_view kPauseResumeButton = "按钮_暂停继续";
inline constexpr std::string_view kStatusBar = "状态条_状态";

} // namespace pv::shell
