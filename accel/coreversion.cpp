#include "accel/coreversion.h"

#include <QRegularExpression>

namespace nimbra::accel {

QVersionNumber parseCoreVersion(const QString &output)
{
    static const QRegularExpression pattern(QStringLiteral(R"(\bversion\s+v?(\d+\.\d+\.\d+)(?![\d.]))"));
    const QRegularExpressionMatch match = pattern.match(output);
    return match.hasMatch() ? QVersionNumber::fromString(match.captured(1)) : QVersionNumber();
}

QString coreVersionRefusal(const QString &output)
{
    const QVersionNumber version = parseCoreVersion(output);
    if (version.isNull()) {
        // Trimmed after the split as well: a Windows program may end its lines with "\r\n".
        const QString firstLine = output.trimmed().section(QLatin1Char('\n'), 0, 0).trimmed().left(200);
        return QStringLiteral("无法识别 nimbra-server 的内核版本：") +
               (firstLine.isEmpty() ? QStringLiteral("<无输出>") : firstLine);
    }
    if (version < kMinimumCoreVersion)
        return QStringLiteral("内核版本 %1 过低，需要 %2 或更新")
            .arg(version.toString(), kMinimumCoreVersion.toString());
    return {};
}

} // namespace nimbra::accel
