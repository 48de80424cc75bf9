#pragma once
// Windows-1251 and file paths at the Qt edge: the bases and catalogues hold Windows-1251 bytes
// and std::filesystem paths, Qt shows QStrings.
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/cp1251.h"

namespace cptext_detail {

inline const std::array<char16_t, 256>& cpTable()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            const QString s = QString::fromStdString(veltris::cp1251ToUtf8(std::string_view(&c, 1)));
            t[static_cast<size_t>(b)] = s.isEmpty() ? u'?' : s.at(0).unicode();
        }
        return t;
    }();
    return table;
}

}  // namespace cptext_detail

// Windows-1251 bytes -> QString (every byte maps to one character and back).
inline QString cpToQString(std::string_view cp1251)
{
    const auto& table = cptext_detail::cpTable();
    QString out(static_cast<qsizetype>(cp1251.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (const char c : cp1251)
        *d++ = QChar(table[static_cast<unsigned char>(c)]);
    return out;
}

// QString -> Windows-1251 bytes; characters the code page cannot hold become '?'.
inline std::string qStringToCp(const QString& text, bool* lossy = nullptr)
{
    return veltris::utf8ToCp1251(text.toStdString(), lossy);
}

// A parameter title on one line: its "|" line breaks become single spaces (lists, labels and
// one-line cells; the table headers draw the breaks as lines).
inline QString oneLineTitle(const QString& title)
{
    QStringList parts = title.split(QLatin1Char('|'));
    for (QString& p : parts)
        p = p.trimmed();
    parts.removeAll(QString());
    return parts.join(QLatin1Char(' '));
}
inline QString oneLineTitle(std::string_view cp1251)
{
    return oneLineTitle(cpToQString(cp1251));
}

inline std::filesystem::path toFsPath(const QString& path)
{
    return std::filesystem::path(path.toStdString());
}

inline QString fromFsPath(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

// `name` with ".suffix" added when it has no suffix of its own (a name typed without one).
inline QString withDefaultSuffix(const QString& name, const QString& suffix)
{
    return QFileInfo(name).suffix().isEmpty() ? name + QLatin1Char('.') + suffix : name;
}
