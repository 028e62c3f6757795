// Crossing between the window's QString and the core's bytes. Settings
// strings and list items are single-byte text, so they cross as Latin-1 (one
// byte per character, as the record stores them); paths cross with the
// file system's own encoding.
#pragma once

#include <QFile>
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace korvel {

inline std::string ToBytes(const QString& text) {
    const QByteArray b = text.toLatin1();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

inline QString FromBytes(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string ToPathBytes(const QString& path) {
    const QByteArray b = QFile::encodeName(path);
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

inline std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(ToPathBytes(path));
}

inline QString FromPathBytes(std::string_view bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

inline QString FromPath(const std::filesystem::path& path) {
    return FromPathBytes(path.native());
}

}  // namespace korvel
