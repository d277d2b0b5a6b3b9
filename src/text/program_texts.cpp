#include "text/program_texts.h"

#include "text/code_page.h"

namespace pv::text {

namespace {

// The literals below are UTF-8, as is this file.
ProgramTexts MakeTexts() {
    const auto t = [](const char* utf8) { return Utf8ToCp936(utf8); };
    ProgramTexts texts;
    texts.statusValid = t("验证成功");
    texts.statusInvalid = t("验证失败");
    texts.statusTimeout = t("连接超时");

    texts.captionStart = t("开始验证");
    texts.captionStarting = t("正在启动");
    texts.captionStop = t("停止验证");
    texts.captionStopping = t("正在停止");
    texts.captionPause = t("暂停验证");
    texts.captionResume = t("继续验证");
    texts.captionImport = t("导入代理");
    texts.captionExport = t("导出代理");
    texts.captionTest = t("测试");
    texts.captionUtfDecode = t("UTF解码");

    texts.paneTotal = t("代理总数：");
    texts.paneDone = t("已完成验证：");
    texts.paneValid = t("有效代理数：");
    texts.paneInvalid = t("失效代理数：");

    texts.messageCaption = t("信息：");
    texts.startNoRows = t("请先导入要验证的代理");
    texts.startBadInput = t("验证网址或字符串不正确！");
    texts.testBadInput = t("网址或字符串填写错误！");
    texts.testSucceeded = t("测试成功！验证网址和关键字可用");
    texts.testFailed = t("测试失败！验证网址和关键字符串不可用");
    texts.reportValid = t("验证完毕！\r\n有效代理：");
    texts.reportInvalid = t("\r\n失效代理：");
    texts.exportNoRows = t("岚峰提示你话没有没代理 请问怎么导出呢");
    texts.exportAskValidOnly = t("是否只导出有效代理");
    texts.exportSaved = t("保存：");
    texts.exportSucceeded = t(" 成功！\r\n共导出：");
    texts.exportLines = t(" 条。");
    texts.exportFailed = t(" 失败！");

    texts.fileFilter = t("文本文档（*.txt）|*.txt");
    texts.defaultFeature = t("百度一下");

    texts.windowTitle = t("岚峰多线程代理验证工具 官方群：");
    texts.columnState = t("状态/索引");
    texts.columnHost = t("IP地址");
    texts.columnPort = t("端口");
    texts.columnDelay = t("延迟(ms)");
    texts.columnStatus = t("状态");
    texts.groupTarget = t("验证资源设置");
    texts.groupSettings = t("验证配置");
    texts.groupProxies = t("代理列表");
    texts.labelUrl = t("验证资源网址：");
    texts.labelFeature = t("特征字符串：");
    texts.labelThreads = t("并发线程数：");
    texts.labelConnectTimeout = t("连接超时(ms)：");
    texts.labelVerifyTimeout = t("验证超时(ms)：");
    texts.linkCaption = t("岚峰博客欢迎你");
    return texts;
}

} // namespace

const ProgramTexts& Texts() {
    static const ProgramTexts texts = MakeTexts();
    return texts;
}

} // namespace pv::text
