#include "configpipe.h"

#include <string>

// Shared by both halves so that the texts are the same everywhere.
namespace nimbra::platform {
namespace {

std::string withCode(std::string_view pattern, unsigned long code)
{
    std::string text(pattern);
    const auto at = text.find("%1");
    if (at != std::string::npos)
        text.replace(at, 2, std::to_string(code));
    return text;
}

} // namespace

ConfigPipeResult makeConfigPipeResult(ConfigPipeStatus status, ConfigPipeUse use, unsigned long systemError,
                                      std::string_view path)
{
    ConfigPipeResult result;
    result.status = status;
    switch (status) {
    case ConfigPipeStatus::Ok:
        return result;
    case ConfigPipeStatus::CreateFailed:
        result.message = withCode(use == ConfigPipeUse::Validation ? "无法创建配置校验管道（错误 %1）"
                                                                   : "无法创建运行配置管道（错误 %1）",
                                  systemError);
        break;
    case ConfigPipeStatus::ConnectFailed:
        result.message = withCode("连接配置管道失败（错误 %1）", systemError);
        break;
    case ConfigPipeStatus::ExitedBeforeReading:
        result.message = "nimbra-server 未读取内存配置便已退出";
        return result;
    case ConfigPipeStatus::ReadTimeout:
        result.message = "nimbra-server 读取内存配置超时";
        return result;
    case ConfigPipeStatus::WriteFailed:
        result.message = withCode("写入内存配置失败（错误 %1）", systemError);
        break;
    }
    result.systemError = systemError;
    if (!path.empty())
        result.message.append("：").append(path);
    return result;
}

} // namespace nimbra::platform
