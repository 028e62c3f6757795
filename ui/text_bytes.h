// Crossing between the window's QString and the core's bytes. Settings
// strings and list items are single-byte text, so they cross as Latin-1 (one
// byte per character, as the record stores them); paths cross as the core's
// path text.
#pragma once

#include <QFile>
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

#include "settings/path_text.h"

namespace korvel {

inline std::string ToBytes(const QString& text) {
    const QByteArray b = text.toLatin1();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

inline QString FromBytes(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// UTF-8 on Windows, whose local 8-bit encoding cannot name every file.
inline std::string ToPathBytes(const QString& path) {
#ifdef _WIN32
    const QByteArray b = path.toUtf8();
#else
    const QByteArray b = QFile::encodeName(path);
#endif
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

inline std::filesystem::path ToPath(const QString& path) {
    return PathFromText(ToPathBytes(path));
}

inline QString FromPathBytes(std::string_view bytes) {
    const QByteArray b(bytes.data(), static_cast<qsizetype>(bytes.size()));
#ifdef _WIN32
    return QString::fromUtf8(b);
#else
    return QFile::decodeName(b);
#endif
}

inline QString FromPath(const std::filesystem::path& path) {
    return FromPathBytes(PathText(path));
}

}  // namespace korvel
