#pragma once

#include <optional>

#include <QString>

namespace pagrion {

// Which engine loads the pages: the full browser runs the pages' scripts and
// lays them out; the static one only fetches and parses them.
enum class EngineKind { Browser, Static };

// The names the engines go by in the settings and on the command line.
inline QString engineName(EngineKind kind)
{
    return kind == EngineKind::Static ? QStringLiteral("static") : QStringLiteral("browser");
}

// The engine a name stands for, ignoring letter case and outer blanks.
inline std::optional<EngineKind> engineFromName(const QString &name)
{
    const QString key = name.trimmed().toLower();
    if (key == engineName(EngineKind::Browser))
        return EngineKind::Browser;
    if (key == engineName(EngineKind::Static))
        return EngineKind::Static;
    return std::nullopt;
}

} // namespace pagrion
