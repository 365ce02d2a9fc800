#pragma once

#include <QString>
#include <QStringList>

namespace pagrion {

// The stored fragments that keep a link out of a link run. A link is left
// out when it contains a fragment, both trimmed of spaces and compared in
// upper case. When the fragments cannot be read, every link is left out.
class LinkFilter final
{
public:
    // Reads the fragments from the configuration database.
    static LinkFilter load();
    static LinkFilter fromFragments(const QStringList &fragments);

    bool allows(const QString &link) const;

private:
    bool m_readable = true;
    QStringList m_fragments; // trimmed, upper-cased; null rows left out
};

// True when the address may be visited; reads the fragments anew.
bool GetWebFlag(const QString &str);

} // namespace pagrion
