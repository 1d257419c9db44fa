// hostctl.exe: drives desktop-host.exe and starts programs with exact command lines, for the
// end-to-end tests under Wine. Every request returns only when it has been carried out.
//
//   hostctl dump <file>               the host writes its state to <file> (a Windows path)
//   hostctl move <index> <x> <y>      moves one item of the desktop list view
//   hostctl scramble                  moves every item of the desktop list view elsewhere
//   hostctl stop                      stops the host and waits until its process has ended
//   hostctl hang <ms>                 the host's main thread (its list views' and its COM
//                                     server's) stops answering for <ms> milliseconds; returns at
//                                     once
//   hostctl ping <ms>                 SendMessageTimeout(WM_NULL, SMTO_ABORTIFHUNG, <ms>) to the
//                                     desktop list view found as pindrel finds it; prints
//                                     "answered=1|0", "error=<GetLastError>" and "elapsed_us=";
//                                     exit code 3 when it was not answered
//   hostctl comdump <file> [leak|alloc]
//                                     walks the shell's COM chain to the desktop's folder view and
//                                     writes what it shows to <file> (HostComClient.h); "leak":
//                                     it keeps the view, the folder and its apartment; "alloc": it
//                                     holds a page allocated in the host's process meanwhile
//   hostctl commove <index> <x> <y> [forged]
//                                     moves an item through the folder view
//                                     (SelectAndPositionItems); "forged": with an id made by
//                                     hostctl, not asked of the view
//   hostctl comview <mode>            IFolderView::SetCurrentViewMode(<mode>) through the chain
//   hostctl comarrange 0|1            IFolderView2::SetCurrentFolderFlags(FWF_AUTOARRANGE, ...)
//   hostctl comroundtrip <n>          walks the chain once, times <n> IFolderView::ItemCount calls
//                                     and prints "items=<count>" and "mean_us=<mean microseconds>"
//   hostctl toggle                    sends the shell view's auto-arrange command (WM_COMMAND
//                                     0x7041) to the "SHELLDLL_DefView" found as pindrel finds it
//   hostctl run <exe> <command line>  starts <exe> with CreateProcessA and exactly that command
//                                     line, waits for it, prints "exit=<code>" and
//                                     "elapsed_us=<microseconds from its start to its end>" and
//                                     exits with the program's exit code
//   hostctl runwindow <exe> <command line>
//                                     starts <exe> likewise, waits for its first visible top-level
//                                     window, prints "window=<class>|<title>" and "running=1|0",
//                                     closes the window with WM_CLOSE, waits for the program and
//                                     prints "exit=<code>"
//   hostctl roundtrip <n>             finds the desktop list view as pindrel does, times <n>
//                                     LVM_GETITEMCOUNT requests and prints "listview=0x<handle>",
//                                     "items=<count>" and "mean_us=<mean microseconds per request>"
//   hostctl sysinfo                   prints what this Windows session reports: user=, computer=,
//                                     screen=<W>x<H> (pixels), dpi=<x>,<y>,
//                                     twipsperpixel=<x>,<y>, acp=<ANSI code page>
//   hostctl cmdline <file> [...]      writes its own command line (GetCommandLineA) to <file> and
//                                     exits with 40 + the number of arguments it was given
//   hostctl writeini <file> <section> <key> <value> [<section> <key> <value> ...]
//                                     WritePrivateProfileStringA(section, key, value, file) for
//                                     each triple, in order; exit code 3 when a call fails
//   hostctl runlocked <file> <exe> <command line>
//                                     opens <file> for reading and shares it with nobody, runs
//                                     <exe> as "run" does, then closes <file>; exit code 3 when
//                                     <file> cannot be opened
//
// Exit codes besides those passed on from programs: 0 done, 1 usage, 2 no desktop host running,
// 3 the request failed, 4 a program could not be started or did not end.
#include "HostComClient.h"
#include "HostProtocol.h"

#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kHangGuardMs = 60000; // only stops a hung program; never a measure of speed

int Usage() {
    std::fprintf(stderr, "usage: hostctl dump <file> | move <index> <x> <y> | scramble | stop | "
                         "hang <ms> | ping <ms> | comdump <file> [leak|alloc] | "
                         "commove <index> <x> <y> [forged] | comview <mode> | comarrange 0|1 | "
                         "comroundtrip <n> | toggle | run <exe> "
                         "<command line> | runwindow <exe> <command line> | "
                         "roundtrip <n> | sysinfo | cmdline <file> [...] | "
                         "writeini <file> <section> <key> <value> [...] | "
                         "runlocked <file> <exe> <command line>\n");
    return 1;
}

bool ParseInt(const char* text, int& value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0')
        return false;
    value = static_cast<int>(v);
    return true;
}

HWND FindHost() {
    HWND control = FindWindowExA(HWND_MESSAGE, nullptr, desktophost::kControlClass, nullptr);
    if (!control)
        std::fprintf(stderr, "hostctl: no desktop host is running\n");
    return control;
}

LRESULT Send(HWND control, desktophost::Request request, const void* data, size_t size) {
    COPYDATASTRUCT cds{};
    cds.dwData = request;
    cds.cbData = static_cast<DWORD>(size);
    cds.lpData = const_cast<void*>(data);
    return SendMessageA(control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
}

int Request(desktophost::Request request, const void* data = nullptr, size_t size = 0) {
    HWND control = FindHost();
    if (!control)
        return 2;
    if (Send(control, request, data, size) != 1) {
        std::fprintf(stderr, "hostctl: the host refused the request\n");
        return 3;
    }
    return 0;
}

int Stop() {
    HWND control = FindHost();
    if (!control)
        return 2;
    DWORD pid = 0;
    GetWindowThreadProcessId(control, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (Send(control, desktophost::kStop, nullptr, 0) != 1) {
        std::fprintf(stderr, "hostctl: the host refused to stop\n");
        return 3;
    }
    if (process) {
        DWORD waited = WaitForSingleObject(process, kHangGuardMs);
        CloseHandle(process);
        if (waited != WAIT_OBJECT_0) {
            std::fprintf(stderr, "hostctl: the host did not end\n");
            return 3;
        }
    }
    return 0;
}

// The lookup pindrel makes: Progman, its shell view, the view's list view; a missing window
// becomes parent 0, which searches the top-level windows.
HWND FindDesktopListView() {
    HWND progman = FindWindowA("Progman", nullptr);
    HWND view = FindWindowExA(progman, nullptr, "SHELLDLL_defVIEW", nullptr);
    return FindWindowExA(view, nullptr, "SysListView32", nullptr);
}

int Toggle() {
    HWND progman = FindWindowA("Progman", nullptr);
    HWND view = FindWindowExA(progman, nullptr, "SHELLDLL_defVIEW", nullptr);
    if (!view) {
        std::fprintf(stderr, "hostctl: no shell view found\n");
        return 2;
    }
    SendMessageA(view, WM_COMMAND, desktophost::kAutoArrangeCommand, 0);
    return 0;
}

bool Start(const char* exe, const char* commandLine, PROCESS_INFORMATION& pi) {
    std::vector<char> line(commandLine, commandLine + std::strlen(commandLine) + 1);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(exe, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "hostctl: cannot start %s (error %lu)\n", exe,
                     static_cast<unsigned long>(GetLastError()));
        return false;
    }
    return true;
}

int Finish(PROCESS_INFORMATION& pi) {
    DWORD code = 0;
    bool ended = WaitForSingleObject(pi.hProcess, kHangGuardMs) == WAIT_OBJECT_0;
    if (!ended) {
        std::fprintf(stderr, "hostctl: the program did not end; terminating it\n");
        TerminateProcess(pi.hProcess, 255);
        WaitForSingleObject(pi.hProcess, kHangGuardMs);
    }
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!ended)
        return 4;
    std::printf("exit=%lu\n", static_cast<unsigned long>(code));
    std::fflush(stdout);
    return static_cast<int>(code);
}

int Run(const char* exe, const char* commandLine) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PROCESS_INFORMATION pi{};
    if (!Start(exe, commandLine, pi))
        return 4;
    int code = Finish(pi);
    QueryPerformanceCounter(&end);
    std::printf("elapsed_us=%.0f\n", static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                                         static_cast<double>(frequency.QuadPart));
    std::fflush(stdout);
    return code;
}

struct WindowSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Runs the program while another process (this one) holds `held` open without sharing: nobody
// may read, write, delete or replace it meanwhile.
int RunLocked(const char* held, const char* exe, const char* commandLine) {
    HANDLE file =
        CreateFileA(held, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hostctl: cannot open %s (error %lu)\n", held,
                     static_cast<unsigned long>(GetLastError()));
        return 3;
    }
    int code = Run(exe, commandLine);
    CloseHandle(file);
    return code;
}

int WriteIni(int argc, char** argv) {
    const char* file = argv[2];
    for (int i = 3; i + 2 < argc; i += 3) {
        if (!WritePrivateProfileStringA(argv[i], argv[i + 1], argv[i + 2], file)) {
            std::fprintf(stderr, "hostctl: WritePrivateProfileStringA [%s] %s failed (error %lu)\n",
                         argv[i], argv[i + 1], static_cast<unsigned long>(GetLastError()));
            return 3;
        }
    }
    return 0;
}

int RunWindow(const char* exe, const char* commandLine) {
    PROCESS_INFORMATION pi{};
    if (!Start(exe, commandLine, pi))
        return 4;
    WindowSearch search{pi.dwProcessId, nullptr};
    for (DWORD waited = 0; !search.found && waited < kHangGuardMs; waited += 20) {
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found || WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0)
            break;
    }
    if (!search.found) {
        std::printf("window=\n");
    } else {
        char cls[256] = "";
        char title[256] = "";
        GetClassNameA(search.found, cls, sizeof cls);
        GetWindowTextA(search.found, title, sizeof title);
        // A request answered by the window's thread shows that the program is alive and idle in
        // its message loop, not merely that a window was created on the way out.
        DWORD_PTR answer = 0;
        bool responds = SendMessageTimeoutA(search.found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                            kHangGuardMs, &answer) != 0;
        bool running = WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT;
        std::printf("window=%s|%s\n", cls, title);
        std::printf("running=%d\n", responds && running ? 1 : 0);
        std::fflush(stdout);
        PostMessageA(search.found, WM_CLOSE, 0, 0);
    }
    return Finish(pi);
}

int RoundTrip(int n) {
    HWND list = FindDesktopListView();
    if (!list) {
        std::fprintf(stderr, "hostctl: no desktop list view found\n");
        return 2;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    LRESULT items = 0;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < n; ++i)
        items = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    QueryPerformanceCounter(&end);
    double micros = static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                    static_cast<double>(frequency.QuadPart);
    std::printf("listview=0x%08lX\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(list)));
    std::printf("items=%ld\n", static_cast<long>(items));
    std::printf("mean_us=%.3f\n", n > 0 ? micros / n : 0.0);
    return 0;
}

int Ping(int ms) {
    HWND list = FindDesktopListView();
    if (!list) {
        std::fprintf(stderr, "hostctl: no desktop list view found\n");
        return 2;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    DWORD_PTR answer = 0;
    SetLastError(0);
    QueryPerformanceCounter(&start);
    const bool answered = SendMessageTimeoutA(list, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                              static_cast<UINT>(ms), &answer) != 0;
    const DWORD error = GetLastError();
    QueryPerformanceCounter(&end);
    std::printf("answered=%d\n", answered ? 1 : 0);
    std::printf("error=%lu\n", static_cast<unsigned long>(error));
    std::printf("elapsed_us=%.0f\n", static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                                         static_cast<double>(frequency.QuadPart));
    return answered ? 0 : 3;
}

int SysInfo() {
    char user[256] = "";
    DWORD userSize = sizeof user;
    GetUserNameA(user, &userSize);
    char computer[512] = "";
    DWORD computerSize = sizeof computer;
    GetComputerNameA(computer, &computerSize);
    HDC screen = GetDC(nullptr);
    int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    std::printf("user=%s\n", user);
    std::printf("computer=%s\n", computer);
    std::printf("screen=%dx%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    std::printf("dpi=%d,%d\n", dpiX, dpiY);
    std::printf("twipsperpixel=%d,%d\n", dpiX > 0 ? 1440 / dpiX : 0, dpiY > 0 ? 1440 / dpiY : 0);
    std::printf("acp=%u\n", GetACP());
    return 0;
}

int CommandLine(int argc, char** argv) {
    const char* line = GetCommandLineA();
    HANDLE file = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    CloseHandle(file);
    return 40 + (argc - 1);
}

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    if (command == "dump" && argc == 3)
        return Request(desktophost::kDump, argv[2], std::strlen(argv[2]));
    if (command == "move" && argc == 5) {
        desktophost::MoveRequest move{};
        if (!ParseInt(argv[2], move.index) || !ParseInt(argv[3], move.x) ||
            !ParseInt(argv[4], move.y))
            return Usage();
        return Request(desktophost::kMove, &move, sizeof move);
    }
    if (command == "scramble" && argc == 2)
        return Request(desktophost::kScramble);
    if (command == "stop" && argc == 2)
        return Stop();
    if ((command == "hang" || command == "ping" || command == "comroundtrip" ||
         command == "comview" || command == "comarrange") &&
        argc == 3) {
        int n = 0;
        if (!ParseInt(argv[2], n) || n < 0 || (command == "comarrange" && n > 1))
            return Usage();
        if (command == "hang") {
            const auto ms = static_cast<std::uint32_t>(n);
            return Request(desktophost::kHang, &ms, sizeof ms);
        }
        if (command == "comview")
            return hostcom::SetViewMode(static_cast<unsigned>(n));
        if (command == "comarrange")
            return hostcom::SetAutoArrange(n == 1);
        return command == "ping" ? Ping(n) : hostcom::RoundTrip(n);
    }
    if (command == "comdump" && argc == 3)
        return hostcom::Dump(argv[2], hostcom::DumpExtra::None);
    if (command == "comdump" && argc == 4 && std::strcmp(argv[3], "leak") == 0)
        return hostcom::Dump(argv[2], hostcom::DumpExtra::Leak);
    if (command == "comdump" && argc == 4 && std::strcmp(argv[3], "alloc") == 0)
        return hostcom::Dump(argv[2], hostcom::DumpExtra::Alloc);
    if (command == "commove" && (argc == 5 || (argc == 6 && std::strcmp(argv[5], "forged") == 0))) {
        int index = 0, x = 0, y = 0;
        if (!ParseInt(argv[2], index) || index < 0 || !ParseInt(argv[3], x) ||
            !ParseInt(argv[4], y))
            return Usage();
        return hostcom::Move(index, x, y, argc == 6);
    }
    if (command == "toggle" && argc == 2)
        return Toggle();
    if (command == "run" && argc == 4)
        return Run(argv[2], argv[3]);
    if (command == "runwindow" && argc == 4)
        return RunWindow(argv[2], argv[3]);
    if (command == "roundtrip" && argc == 3) {
        int n = 0;
        if (!ParseInt(argv[2], n) || n < 0)
            return Usage();
        return RoundTrip(n);
    }
    if (command == "sysinfo" && argc == 2)
        return SysInfo();
    if (command == "cmdline" && argc >= 3)
        return CommandLine(argc, argv);
    if (command == "writeini" && argc >= 6 && (argc - 3) % 3 == 0)
        return WriteIni(argc, argv);
    if (command == "runlocked" && argc == 5)
        return RunLocked(argv[2], argv[3], argv[4]);
    return Usage();
}
