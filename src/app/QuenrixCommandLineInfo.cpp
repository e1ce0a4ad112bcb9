#include "app/QuenrixCommandLineInfo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/QXLog.h"
#include "doc/QXAppSettings.h"
#include "platform/Path.h"

namespace quenrix {

namespace {

bool pathExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// A link to a folder counts: the user named it, and a target is opened through it.
bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Relative to the working folder, without resolving "..": a textual ".." would go past a
// linked folder and name a different file than the shell does.
std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::string cwd(4096, '\0');
    while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE) return path;
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    if (path == ".") return cwd;
    if (path.starts_with("./")) return absolutePath(path.substr(2));
    return cwd == "/" ? "/" + path : cwd + "/" + path;
}

bool endsWithLogExtension(std::string_view path) {
    if (path.size() < 4) return false;
    const std::string_view tail = path.substr(path.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'l' && (tail[2] | 0x20) == 'o' &&
           (tail[3] | 0x20) == 'g';
}

}  // namespace

QuenrixCommandLineInfo::QuenrixCommandLineInfo(QXAppSettings& settings) : m_settings(settings) {}

void QuenrixCommandLineInfo::parseCommandLine(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        if (argv[i]) arguments.emplace_back(argv[i]);
    }
    parseArguments(arguments);
}

void QuenrixCommandLineInfo::parseArguments(const std::vector<std::string>& arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.empty()) continue;
        const bool last = i + 1 == arguments.size();
        std::string flag;
        if (isFlagArgument(argument, &flag)) {
            ParseParam(flag, true, last);
        } else {
            ParseParam(argument, false, last);
        }
    }
    // Outside an unattended run the user decides: a delete mode or the empty-folder switch
    // left set would make the interactive actions run without their questions.
    if (m_settings.cmdAutoRun == 0) {
        m_settings.cmdAutoDel = 0;
        m_settings.cmdRemoveEmptyFolder = 0;
    }
}

bool QuenrixCommandLineInfo::isFlagArgument(const std::string& argument, std::string* flag) {
    if (argument.empty()) return false;
    bool isFlag = false;
    if (argument[0] == '-') {
        isFlag = true;
    } else if (argument[0] == '/') {
        isFlag = argument.find('/', 1) == std::string::npos && !pathExists(argument);
    }
    if (isFlag && flag) *flag = argument.substr(1);
    return isFlag;
}

void QuenrixCommandLineInfo::ParseParam(const std::string& param, bool isFlag, bool isLast) {
    if (!isFlag) {
        if (param.empty()) return;
        const std::string path = absolutePath(param);
        if (isFolder(path)) {
            m_folders.push_back(platform::stripTrailingSlashes(path));
            QXLog::Write(L"Add Target.");
        } else if (m_fileName.empty()) {
            m_fileName = path;
        }
        return;
    }

    if (param == "AutoRun") {
        m_settings.cmdAutoRun = 1;
        QXLog::Write(L"AutoRun enabled.");
    }
    if (param == "Log") {
        m_settings.cmdLog = 1;
        QXLog::Write(L"Log enabled.");
    }
    if (param == "Cache") {
        m_settings.cmdCache = 1;
        QXLog::Write(L"Cache enabled.");
    }
    if (param.size() >= 2 && param[0] == 'D') {
        if (param[1] >= '0' && param[1] <= '6') m_settings.cmdAutoDel = param[1] - '0' + 1;
        if (m_settings.cmdAutoDel != 0) QXLog::Write(L"AutoDel enabled.");
    }
    if (!param.empty() && param[0] == 'R') {
        m_settings.cmdRemoveEmptyFolder = 1;
        QXLog::Write(L"Remove empty folder enabled.");
    }
}

bool QuenrixCommandLineInfo::wantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0)) {
            return true;
        }
    }
    return false;
}

bool QuenrixCommandLineInfo::wantsAutoRun(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string flag;
        if (argv[i] && isFlagArgument(argv[i], &flag) && flag == "AutoRun") return true;
    }
    return false;
}

std::string QuenrixCommandLineInfo::noDisplayText() {
    return "quenrix: 画面（DISPLAY または WAYLAND_DISPLAY）がありません。\n"
           "画面なしで動かすには、設定ファイルと /AutoRun を指定して無人実行してください。\n"
           "  例: quenrix /AutoRun /D1 /R job.qnrx\n"
           "詳しくは quenrix --help を見てください。\n";
}

std::string QuenrixCommandLineInfo::helpText() {
    return "使い方: quenrix [スイッチ...] [設定ファイル] [フォルダ...]\n"
           "\n"
           "設定ファイル（検索の対象と条件を保存したもの）を開き、指定したフォルダを\n"
           "検索の対象に加えて起動します。/AutoRun を付けると、設定ファイルの検索を実行し、\n"
           "指定した処理をしてから終了します（無人実行）。\n"
           "\n"
           "スイッチ（大文字と小文字を区別します。\"/\" の代わりに \"-\" も使えます）:\n"
           "  /AutoRun   設定ファイルで検索し、下の処理をして終了する\n"
           "  /D0        チェックされたファイルを削除する\n"
           "  /D1        チェックされたファイルをごみ箱へ移動する\n"
           "  /D2        0x00で上書きして削除する\n"
           "  /D3        0xFFで上書きして削除する\n"
           "  /D4        乱数で上書きして削除する\n"
           "  /D5        DoD 5220.22-M Short 準拠で処理して削除する\n"
           "  /D6        DoD 5220.22-M 準拠で処理して削除する\n"
           "  /R         処理の後に空のフォルダを削除する\n"
           "  /Cache     この実行ではキャッシュを使う（オプションの設定にかかわらず）\n"
           "  /Log       受け付けるだけで、効果はありません\n"
           "  -h, --help この説明を表示して終了する\n"
           "\n"
           "/D0 から /D6 と /R は /AutoRun と一緒のときだけ働きます。無人実行では、\n"
           "フォルダの引数は使われず、ログは設定ファイルの拡張子を \".log\" にした\n"
           "ファイルに書かれます（job.qnrx なら job.log）。\n"
           "\"/\" で始まる引数は、ほかに \"/\" を含まず、その名前のファイルもフォルダも\n"
           "ないときだけスイッチとみなされます。\n"
           "\n"
           "画面がないとき（DISPLAY も WAYLAND_DISPLAY もない）、無人実行は画面なしで動き、\n"
           "ウィンドウを出さず、メッセージはすべてログに書かれます。\n"
           "\n"
           "終了コード: 0 正常終了、1 無人実行でエラーがあった、\n"
           "            2 設定ファイルを開けなかった、または画面がなく /AutoRun もない\n"
           "\n"
           "例:\n"
           "  quenrix /AutoRun /D1 /R job.qnrx\n"
           "      job.qnrx で検索し、チェックされたファイルをごみ箱へ移動して、\n"
           "      空になったフォルダを削除し、終了する\n"
           "  quenrix ~/写真 ~/バックアップ\n"
           "      二つのフォルダを対象にして起動する\n";
}

std::string autoRunLogPath(std::string_view documentPath) {
    if (documentPath.empty()) return {};
    const size_t slash = documentPath.rfind('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t dot = documentPath.rfind('.');
    std::string path(documentPath);
    if (dot != std::string_view::npos && dot > nameStart && !endsWithLogExtension(documentPath)) {
        path.resize(dot);
    }
    return path + ".log";
}

}  // namespace quenrix
