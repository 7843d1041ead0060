#include "state/servermessages.h"

#include <QLatin1StringView>

#include <array>
#include <utility>

namespace nimbra {

QString translateServerMessage(const QString &message)
{
    static constexpr std::array<std::pair<QLatin1StringView, const char16_t *>, 15> table = {{
        {QLatin1StringView("not registered"), u"手机号未注册"},
        {QLatin1StringView("phone already registered"), u"手机号已注册"},
        {QLatin1StringView("admin phone not allowed"), u"该手机号不允许执行此操作"},
        {QLatin1StringView("account disabled"), u"账号已被禁用"},
        {QLatin1StringView("too many requests"), u"操作过于频繁，请稍后再试"},
        {QLatin1StringView("send failed"), u"验证码发送失败，请稍后再试"},
        {QLatin1StringView("verify failed"), u"验证码错误、已过期或验证失败"},
        {QLatin1StringView("invalid credentials"), u"手机号或密码错误"},
        {QLatin1StringView("invalid token"), u"登录状态已失效，请重新登录"},
        {QLatin1StringView("password too short"), u"密码至少需要 6 位"},
        {QLatin1StringView("password too long"), u"密码长度超过限制"},
        {QLatin1StringView("password mismatch"), u"两次输入的密码不一致"},
        {QLatin1StringView("invite bind failed"), u"邀请码绑定失败"},
        {QLatin1StringView("reset failed"), u"密码修改失败，请稍后再试"},
        {QLatin1StringView("bad request"), u"请求参数不合法"},
    }};
    const QString key = message.trimmed().toLower();
    for (const auto &[english, chinese] : table) {
        if (key == english)
            return QString::fromUtf16(chinese);
    }
    return message;
}

} // namespace nimbra
