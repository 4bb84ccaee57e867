#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Our own reader and writer of INI files, keeping the behaviour of the Windows profile functions that the
// console relies on, so the same settings files work on every platform.
//
// File format, as read:
// - a line whose first non-blank character is '[' starts a section; its name is the text up to the first
//   ']' (or the end of the line), trimmed of blanks;
// - a line whose first non-blank character is ';' or '#' is a comment;
// - a line holding '=' after a non-blank name is a key line: key before the first '=', value after it, both
//   trimmed of blanks (spaces and tabs);
// - every other line (blank, garbage, key lines before the first section) is kept byte for byte.
// Section and key names match without regard to letter case, and the first occurrence wins: the first
// section of a name, and within it the first key of a name. CR LF and LF line ends are both read.
//
// Writing: the whole file is rebuilt in memory and replaced atomically, so a crash or a full disk never
// leaves it half written (SafeSave.h; in a folder that takes no new file it is rewritten in place). A value
// that exists is replaced in place (its line stays where it is, keeping the key's spelling as stored); a new
// key is appended after the last key line of its section; a new section goes at the end of the file, after
// one blank line when the file already holds text (so sections read as paragraphs). A new file uses CR LF;
// an existing file keeps the line end its first line uses.
//
// A UTF-8 byte-order mark is skipped when reading and kept when the file is rewritten. A file in UTF-16
// (with a byte-order mark, or without one: every second byte NUL over its first lines), or larger than
// 16 MiB, cannot be read: its keys read as missing and it is never rewritten.
//
// A file is read and its sections indexed once, and again only when it changed on disk (size, times,
// identity) or we wrote it; a write rewrites the whole file, so its time is linear in the file's size.
class IniFile
{
public:
    // Called the first time in a run that a file is found unreadable, with its path.
    using UnreadableHandler = std::function<void(const QString &path)>;
    static void setUnreadableHandler(UnreadableHandler handler);

    // The stored value of Key in Section of the file at path, or nothing when the file, the section or the
    // key is missing or the file cannot be read. The value is returned whole; callers cut it to size.
    static std::optional<QString> readValue(const QString &path, const QString &section, const QString &key);

    // Stores value under key in section, creating the file, the section and the key as needed. Returns false,
    // leaving the file untouched, when a name or the value would not read back as written (see isValidKey and
    // friends), when an existing file cannot be read (its other lines would be lost) or is read-only, or when
    // the new file cannot be written whole (a full disk).
    static bool writeValue(const QString &path, const QString &section, const QString &key, const QString &value);

    // Removes key (every line of that name) from the first section of that name. A blank key removes nothing.
    // Returns false when the file could not be rewritten; true when the key is gone (or never was there).
    static bool removeKey(const QString &path, const QString &section, const QString &key);

    // Every key line of the first section of that name, in file order, as "key=value" (names and values
    // trimmed, each entry cut at a NUL). Empty when the section is missing, holds no keys, or the file cannot
    // be read.
    static QStringList readSection(const QString &path, const QString &section);

    // Names and values that can be written without changing the meaning of any line of the file; names
    // must also survive the 8-bit code page unchanged.
    static bool isValidSection(const QString &section);
    static bool isValidKey(const QString &key);
    static bool isValidValue(const QString &value);
};
