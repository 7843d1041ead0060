#pragma once

#include <QStringList>

#include <optional>

// "--name N" or "--name=N" with N a whole number of at least 1, as every benchmark takes its counts.
// Not this option: std::nullopt. This option: true with the number stored in `target` (and `i` moved past a
// separate value), or false when the value is missing or not such a number.
inline std::optional<bool> readCountOption(const QStringList &arguments, qsizetype &i, const QString &name,
                                           int &target)
{
    const QString &argument = arguments[i];
    QString value;
    if (argument == name && i + 1 < arguments.size())
        value = arguments[++i];
    else if (argument.startsWith(name + QLatin1Char('=')))
        value = argument.mid(name.size() + 1);
    else
        return std::nullopt;
    bool ok = false;
    target = value.toInt(&ok);
    return ok && target >= 1;
}
