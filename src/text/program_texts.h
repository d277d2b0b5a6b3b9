#pragma once

#include <string>

namespace pv::text {

// Every text of the program's own that a user can see, in code page 936. The literals are
// kept in UTF-8 in one place and converted once, on first use; the object lives until the
// process ends and never changes.
struct ProgramTexts {
    // Row states and placeholders of the proxy list.
    std::string statusValid;   // 验证成功
    std::string statusInvalid; // 验证失败
    std::string statusTimeout; // 连接超时

    // Captions of the run buttons; each is also the state of the run as the commands see it.
    std::string captionStart;    // 开始验证
    std::string captionStarting; // 正在启动
    std::string captionStop;     // 停止验证
    std::string captionStopping; // 正在停止
    std::string captionPause;    // 暂停验证
    std::string captionResume;   // 继续验证
    std::string captionImport;   // 导入代理
    std::string captionExport;   // 导出代理
    std::string captionTest;     // 测试
    std::string captionUtfDecode;

    // Status bar panes; each is followed directly by a decimal number.
    std::string paneTotal;   // 代理总数：
    std::string paneDone;    // 已完成验证：
    std::string paneValid;   // 有效代理数：
    std::string paneInvalid; // 失效代理数：

    // Message boxes.
    std::string messageCaption;     // 信息：
    std::string startNoRows;        // 请先导入要验证的代理
    std::string startBadInput;      // 验证网址或字符串不正确！
    std::string testBadInput;       // 网址或字符串填写错误！
    std::string testSucceeded;      // 测试成功！验证网址和关键字可用
    std::string testFailed;         // 测试失败！验证网址和关键字符串不可用
    std::string reportValid;        // 验证完毕！\r\n有效代理：
    std::string reportInvalid;      // \r\n失效代理：
    std::string exportNoRows;       // 岚峰提示你话没有没代理 请问怎么导出呢
    std::string exportAskValidOnly; // 是否只导出有效代理
    std::string exportSaved;        // 保存：
    std::string exportSucceeded;    // " 成功！\r\n共导出："
    std::string exportLines;        // " 条。"
    std::string exportFailed; // " 失败！" after the path, when the file could not be written whole

    // The file dialog's filter: a description and a pattern separated by "|".
    std::string fileFilter; // 文本文档（*.txt）|*.txt

    // The feature string the window starts with.
    std::string defaultFeature; // 百度一下

    // The main window.
    std::string windowTitle; // 岚峰多线程代理验证工具 官方群：
    std::string columnState; // 状态/索引
    std::string columnHost;  // IP地址
    std::string columnPort;  // 端口
    std::string columnDelay; // 延迟(ms)
    std::string columnStatus;
    std::string groupTarget;         // 验证资源设置
    std::string groupSettings;       // 验证配置
    std::string groupProxies;        // 代理列表
    std::string labelUrl;            // 验证资源网址：
    std::string labelFeature;        // 特征字符串：
    std::string labelThreads;        // 并发线程数：
    std::string labelConnectTimeout; // 连接超时(ms)：
    std::string labelVerifyTimeout;  // 验证超时(ms)：
    std::string linkCaption;         // 岚峰博客欢迎你
};

const ProgramTexts& Texts();

} // namespace pv::text
