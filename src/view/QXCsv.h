// The result list as CSV: export of chosen columns and rows, import back into records.
// The layout: CR LF lines, a header of column keys, every field followed by the
// separator; fields quoted on request, with `"` and `\` escaped by a backslash inside
// quotes so that every path reads back as itself. Plain functions, no Qt. Thread-safe:
// pure functions over the records they are given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/QXFileInfo.h"

namespace quenrix {

enum class QXCsvEncoding { kSjis = 0, kUtf8 = 1 };

struct QXCsvExportSettings {
    int32_t rows = 0;       // 0 ticked rows, 1 unticked rows, 2 all rows
    int32_t separator = 0;  // 0 ",", 1 tab
    QXCsvEncoding encoding = QXCsvEncoding::kUtf8;
    bool quote = true;
    bool sizeWithUnit = false;
    std::vector<int32_t> columns;  // column types 0 to 47 in output order

    // The dialog's defaults: every type 0 to 47 in type order.
    static QXCsvExportSettings defaults();
};

struct QXCsvExportResult {
    bool ok = false;
    // Why not: a text Shift_JIS cannot hold or a path with a line break (a Japanese
    // message naming the file), or the write error.
    std::wstring message;
};

// The whole file's bytes, or a failure when a cell cannot be written faithfully. A line
// break inside any cell other than the name and the path becomes a space.
QXCsvExportResult formatCsv(const QXFileList& files, const QXCsvExportSettings& settings,
                            std::string& out);
// formatCsv, then writes the file (created or truncated); a write failure gives
// "ファイルの書き込みに失敗しました。" and the log line.
QXCsvExportResult exportCsv(const std::string& nativePath, const QXFileList& files,
                            const QXCsvExportSettings& settings);

struct QXCsvImportResult {
    enum Status { kOk, kEmpty, kNoMemory, kReadError };
    Status status = kOk;
    QXFileList records;            // kept records, sorted by group number then file name
    bool duplicateSearch = false;  // the file's groups make it a duplicate result
};
// Reads a whole file; keeps only records whose path is absolute and names a regular
// file now (their stat fresh from the file system, target index 0), and of several
// lines naming one directory entry only the first.
QXCsvImportResult importCsv(const std::string& nativePath, QXCsvEncoding encoding);
// The same from bytes already read.
QXCsvImportResult parseCsv(std::string_view bytes, QXCsvEncoding encoding);

// The fields of one line (comma separator only, quotes and backslash escapes).
std::vector<std::wstring> splitCsvLine(std::wstring_view line);

}  // namespace quenrix
