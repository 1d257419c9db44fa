// The simulated Windows session: a facade over its parts. Each platform call is logged here and
// handled by the part that simulates it; the set-up functions build scenes across the parts.
#include "platform/sim/SimSession.h"

#include "platform/sim/SimFiles.h"
#include "platform/sim/SimHandles.h"
#include "platform/sim/SimListView.h"
#include "platform/sim/SimMappings.h"
#include "platform/sim/SimMemory.h"
#include "platform/sim/SimProfile.h"
#include "platform/sim/SimSystem.h"

#include <stdexcept>

namespace pindrel::sim {

namespace fs = std::filesystem;
using namespace pindrel::win;

namespace {
int& DefaultBits() {
    static int bits = sizeof(void*) == 8 ? 64 : 32;
    return bits;
}
} // namespace

void SetDefaultProgramBits(int bits) {
    if (bits != 32 && bits != 64)
        throw std::invalid_argument("SetDefaultProgramBits: 32 or 64");
    DefaultBits() = bits;
}

int DefaultProgramBits() {
    return DefaultBits();
}

struct SimSession::Impl {
    explicit Impl(fs::path root) : files(std::move(root)) {}

    SimLog log;
    SimSystem system;
    SimHandles handles;
    SimMappings mappings{handles, log};
    SimMemory memory{system, handles, mappings, log, DefaultProgramBits()};
    SimWindows windows;
    SimListView shell{windows, memory, system, log};
    SimFiles files;
    std::function<void(const SimCall&)> hook;
};

// ---- construction, identity, platform ----------------------------------------------------------

SimSession::SimSession(fs::path hostRoot) : impl_(std::make_unique<Impl>(std::move(hostRoot))) {
    SetExecutable("C:\\Tools\\Pindrel.exe");
}

SimSession::~SimSession() = default;

void SimSession::SetUserName(const std::string& name) {
    impl_->system.user = name;
}
void SimSession::SetComputerName(const std::string& name) {
    impl_->system.computer = name;
}
// The non-NT Windows are 32-bit throughout.
void SimSession::SetPlatformId(DWORD platformId) {
    impl_->system.platformId = platformId;
    if (platformId != VER_PLATFORM_WIN32_NT)
        SetWindowsBits(32);
}
void SimSession::SetWindowsBits(int bits) {
    impl_->memory.SetWindowsBits(bits);
}
void SimSession::SetProgramBits(int bits) {
    impl_->memory.SetProgramBits(bits);
}
int SimSession::ProgramBits() const {
    return impl_->memory.ProgramBits();
}
void SimSession::SetIsWow64ProcessMissing(bool missing) {
    impl_->memory.wow64Missing = missing;
}
void SimSession::SetQueryAccessRefused(bool refused) {
    impl_->memory.queryRefused = refused;
}
void SimSession::SetVersionQueryFails(bool fails) {
    impl_->system.versionFails = fails;
}

void SimSession::SetScreen(float widthTwips, float heightTwips, float twipsPerPixelX,
                           float twipsPerPixelY) {
    impl_->system.widthTwips = widthTwips;
    impl_->system.heightTwips = heightTwips;
    impl_->system.tppX = twipsPerPixelX;
    impl_->system.tppY = twipsPerPixelY;
    impl_->system.pixelsX = 0;
    impl_->system.pixelsY = 0;
}

void SimSession::SetScreenPixels(int width, int height, float twipsPerPixelX,
                                 float twipsPerPixelY) {
    const float tppY = twipsPerPixelY == 0.0f ? twipsPerPixelX : twipsPerPixelY;
    SetScreen(static_cast<float>(width) * twipsPerPixelX, static_cast<float>(height) * tppY,
              twipsPerPixelX, tppY);
    impl_->system.pixelsX = width;
    impl_->system.pixelsY = height;
}

// The executable's folder is created: a program always runs from a folder that exists.
void SimSession::SetExecutable(const std::string& windowsPath) {
    impl_->system.executable = windowsPath;
    fs::create_directories(HostPath(AppPath()));
}

void SimSession::SetCommandLine(const std::string& argumentText) {
    impl_->system.commandLine = argumentText;
}
Pid SimSession::SelfProcess() const {
    return SimMemory::kSelf;
}

// ---- windows and processes ---------------------------------------------------------------------

Pid SimSession::CreateProcess(int bits) {
    return impl_->memory.CreateProcess(bits);
}

Hwnd SimSession::CreateWindow(const std::string& className, Hwnd parent, Pid owner, DWORD style) {
    if (!impl_->memory.Exists(owner))
        throw std::invalid_argument("SimSession::CreateWindow: unknown process " + Hex(raw(owner)));
    return impl_->windows.Create(className, parent, owner, style);
}

void SimSession::DestroyWindow(Hwnd window) {
    impl_->windows.Destroy(window);
}
bool SimSession::IsWindow(Hwnd window) const {
    return impl_->windows.Find(window) != nullptr;
}

SimShell SimSession::CreateShell(ShellShape shape, DWORD listViewStyle, int bits) {
    return impl_->windows.CreateShell(shape, listViewStyle, CreateProcess(bits));
}

// ---- list-view content (set-up places items as asked, whatever the style) ----------------------

void SimSession::AddItem(Hwnd listView, const std::u16string& text, Point position) {
    impl_->windows.Need(listView, true).items.push_back(SimItem{text, position});
}
void SimSession::AddItem(Hwnd listView, const std::string& utf8Text, Point position) {
    AddItem(listView, Utf8ToUtf16(utf8Text), position);
}
std::vector<SimItem>& SimSession::Items(Hwnd listView) {
    return impl_->windows.Need(listView, true).items;
}
DWORD SimSession::Style(Hwnd window) const {
    const SimWindow* w = impl_->windows.Find(window);
    return w ? w->style : 0;
}
void SimSession::SetStyle(Hwnd window, DWORD style) {
    impl_->windows.Need(window, false).SetStyle(style);
}
DWORD SimSession::CurrentView(Hwnd listView) const {
    return impl_->windows.Need(listView, true).view;
}
bool SimSession::AutoArrange(Hwnd listView) const {
    return (impl_->windows.Need(listView, true).remembered & LVS_AUTOARRANGE) != 0;
}
int SimSession::ViewChanges(Hwnd listView) const {
    return impl_->windows.Need(listView, true).viewChanges;
}

// ---- painting ----------------------------------------------------------------------------------

bool SimSession::PaintingOn(Hwnd window) const {
    return impl_->windows.Need(window, false).painting;
}
int SimSession::PaintedChanges(Hwnd listView) const {
    return impl_->windows.Need(listView, true).paintedChanges;
}
bool SimSession::ShowsOldPicture(Hwnd listView) const {
    return impl_->windows.Need(listView, true).stale;
}
int SimSession::Invalidates(Hwnd window) const {
    return impl_->windows.Need(window, false).invalidates;
}

// ---- observation and fault injection -----------------------------------------------------------

const std::vector<SimCall>& SimSession::Calls() const {
    return impl_->log.Calls();
}
void SimSession::ClearCalls() {
    impl_->log.ClearCalls();
}
int SimSession::CountMessages(UINT message) const {
    return impl_->log.CountMessages(message);
}
int SimSession::CountCalls(const std::string& function) const {
    return impl_->log.CountCalls(function);
}
int SimSession::OpenHandles() const {
    return impl_->handles.Open();
}
int SimSession::LiveAllocations() const {
    return impl_->memory.LiveAllocations();
}
int SimSession::LiveMappings() const {
    return impl_->mappings.LiveMappings();
}
int SimSession::LiveViews() const {
    return impl_->mappings.LiveViews();
}
int SimSession::OpenFiles() const {
    return impl_->files.OpenFiles();
}
const std::vector<std::string>& SimSession::Faults() const {
    return impl_->log.Faults();
}

void SimSession::SetOpenProcessRefused(bool refused) {
    impl_->memory.openRefused = refused;
}
void SimSession::FailAllocations(int count) {
    impl_->memory.failAllocations = count;
}
void SimSession::FailMappings(int count) {
    impl_->mappings.FailNext(count);
}
void SimSession::FailViews(int count) {
    impl_->mappings.FailViewsNext(count);
}
void SimSession::DestroyWindowAfterRequests(Hwnd window, int requests) {
    if (requests <= 0)
        impl_->windows.Destroy(window);
    else
        impl_->windows.Need(window, false).destroyAfter = requests;
}
void SimSession::SetReportedItemCount(Hwnd listView, std::optional<LRESULT> count) {
    impl_->windows.Need(listView, true).reportedCount = count;
}
void SimSession::SetTextsWithoutNul(Hwnd listView, bool withoutNul) {
    impl_->windows.Need(listView, true).textsWithoutNul = withoutNul;
}
void SimSession::OnSendMessage(std::function<void(const SimCall&)> hook) {
    impl_->hook = std::move(hook);
}

// ---- files (test side) -------------------------------------------------------------------------

fs::path SimSession::HostPath(const std::string& windowsPath) const {
    return impl_->files.Host(windowsPath);
}
bool SimSession::FileExists(const std::string& windowsPath) const {
    return impl_->files.Exists(windowsPath);
}
std::string SimSession::FileBytes(const std::string& windowsPath) const {
    return impl_->files.Bytes(windowsPath);
}
void SimSession::WriteFileBytes(const std::string& windowsPath, const std::string& bytes) {
    impl_->files.Write(windowsPath, bytes);
}
void SimSession::CreateFolder(const std::string& windowsPath) {
    impl_->files.CreateFolder(windowsPath);
}
void SimSession::SetReadOnly(const std::string& windowsPath, bool readOnly) {
    impl_->files.SetReadOnly(windowsPath, readOnly);
}
void SimSession::SetLocked(const std::string& windowsPath, bool locked) {
    impl_->files.SetLocked(windowsPath, locked);
}
void SimSession::SetReadError(const std::string& windowsPath, bool fails, long long afterBytes) {
    impl_->files.SetReadError(windowsPath, fails, afterBytes);
}
void SimSession::SetDiskSpace(long long bytes) {
    impl_->files.SetDiskSpace(bytes);
}
std::vector<std::string> SimSession::ListFolder(const std::string& windowsFolder) const {
    return impl_->files.List(windowsFolder);
}

// ---- WindowsApi --------------------------------------------------------------------------------

BOOL SimSession::GetUserNameA(char* buffer, DWORD* size) {
    impl_->log.Call("GetUserNameA", size ? *size : 0);
    return impl_->system.GetUserNameA(buffer, size);
}
BOOL SimSession::GetComputerNameA(char* buffer, DWORD* size) {
    impl_->log.Call("GetComputerNameA", size ? *size : 0);
    return impl_->system.GetComputerNameA(buffer, size);
}
BOOL SimSession::GetVersionExA(OsVersionInfoA* info) {
    impl_->log.Call("GetVersionExA", info ? info->dwOSVersionInfoSize : 0);
    return impl_->system.GetVersionExA(info);
}

DWORD SimSession::GetPrivateProfileStringA(const char* section, const char* key,
                                           const char* defaultValue, char* buffer, DWORD size,
                                           const char* fileName) {
    impl_->log.Call("GetPrivateProfileStringA", size, 0, fileName ? fileName : "");
    return ProfileRead(impl_->files, impl_->log, section, key, defaultValue, buffer, size,
                       fileName);
}
BOOL SimSession::WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                            const char* fileName) {
    impl_->log.Call("WritePrivateProfileStringA", 0, 0, fileName ? fileName : "");
    return ProfileWrite(impl_->files, section, key, value, fileName);
}

Handle SimSession::OpenProcess(DWORD desiredAccess, BOOL inheritHandle, Pid processId) {
    (void)inheritHandle;
    impl_->log.Call("OpenProcess", desiredAccess, static_cast<std::int64_t>(raw(processId)));
    return impl_->memory.OpenProcess(desiredAccess, processId);
}
RemoteAddr SimSession::VirtualAllocEx(Handle process, RemoteAddr address, DWORD size,
                                      DWORD allocationType, DWORD protect) {
    impl_->log.Call("VirtualAllocEx", raw(process), static_cast<std::int64_t>(size));
    return impl_->memory.VirtualAllocEx(process, address, size, allocationType, protect);
}
BOOL SimSession::VirtualFreeEx(Handle process, RemoteAddr address, DWORD size, DWORD freeType) {
    impl_->log.Call("VirtualFreeEx", raw(process), static_cast<std::int64_t>(raw(address)));
    return impl_->memory.VirtualFreeEx(process, address, size, freeType);
}
BOOL SimSession::WriteProcessMemory(Handle process, RemoteAddr baseAddress, const void* buffer,
                                    DWORD size, DWORD* bytesWritten) {
    impl_->log.Call("WriteProcessMemory", raw(baseAddress), static_cast<std::int64_t>(size));
    return impl_->memory.WriteProcessMemory(process, baseAddress, buffer, size, bytesWritten);
}
BOOL SimSession::ReadProcessMemory(Handle process, RemoteAddr baseAddress, void* buffer, DWORD size,
                                   DWORD* bytesRead) {
    impl_->log.Call("ReadProcessMemory", raw(baseAddress), static_cast<std::int64_t>(size));
    return impl_->memory.ReadProcessMemory(process, baseAddress, buffer, size, bytesRead);
}
Handle SimSession::GetCurrentProcess() {
    impl_->log.Call("GetCurrentProcess");
    return kCurrentProcess;
}
BOOL SimSession::IsWow64Process(Handle process, BOOL* wow64) {
    impl_->log.Call("IsWow64Process", raw(process));
    return impl_->memory.IsWow64Process(process, wow64);
}
bool SimSession::IsProgram64Bit() {
    return impl_->memory.ProgramBits() == 64;
}
BOOL SimSession::CloseHandle(Handle object) {
    impl_->log.Call("CloseHandle", raw(object));
    const std::optional<SimKernelObject> closed = impl_->handles.Close(object);
    if (closed && closed->kind == SimKernelObject::Kind::Mapping)
        impl_->mappings.HandleClosed(closed->mapping);
    return closed ? 1 : 0;
}

Handle SimSession::CreateFileMappingA(Handle file, const void* securityAttributes, DWORD protect,
                                      DWORD maximumSizeHigh, DWORD maximumSizeLow,
                                      const char* name) {
    (void)securityAttributes;
    impl_->log.Call("CreateFileMappingA", maximumSizeLow, 0, name ? name : "");
    return impl_->mappings.CreateFileMappingA(file, protect, maximumSizeHigh, maximumSizeLow, name);
}
RemoteAddr SimSession::MapViewOfFile(Handle mapping, DWORD desiredAccess, DWORD fileOffsetHigh,
                                     DWORD fileOffsetLow, DWORD numberOfBytesToMap) {
    impl_->log.Call("MapViewOfFile", raw(mapping), static_cast<std::int64_t>(numberOfBytesToMap));
    return impl_->mappings.MapViewOfFile(mapping, desiredAccess, fileOffsetHigh, fileOffsetLow,
                                         numberOfBytesToMap);
}
BOOL SimSession::UnmapViewOfFile(RemoteAddr baseAddress) {
    impl_->log.Call("UnmapViewOfFile", raw(baseAddress));
    return impl_->mappings.UnmapViewOfFile(baseAddress);
}
void SimSession::RtlMoveMemory(RemoteAddr destination, const void* source, DWORD length) {
    impl_->log.Call("RtlMoveMemory", raw(destination), static_cast<std::int64_t>(length));
    impl_->mappings.MoveInto(destination, source, length);
}
void SimSession::RtlMoveMemory(void* destination, RemoteAddr source, DWORD length) {
    impl_->log.Call("RtlMoveMemory", raw(source), static_cast<std::int64_t>(length));
    impl_->mappings.MoveOut(destination, source, length);
}

int SimSession::WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* wide, int wideCount,
                                    char* multi, int multiSize) {
    impl_->log.Call("WideCharToMultiByte", static_cast<std::uint32_t>(wideCount), multiSize);
    return WideToCp1252(codePage, flags, wide, wideCount, multi, multiSize);
}

Hwnd SimSession::FindWindowA(const char* className, const char* windowName) {
    impl_->log.Call("FindWindowA", 0, 0, className ? className : "");
    return impl_->windows.Search(Hwnd{}, Hwnd{}, className, windowName);
}
Hwnd SimSession::FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                               const char* windowName) {
    impl_->log.Call("FindWindowExA", raw(parent), static_cast<std::int64_t>(raw(childAfter)),
                    className ? className : "");
    return impl_->windows.Search(parent, childAfter, className, windowName);
}
DWORD SimSession::GetWindowThreadProcessId(Hwnd window, Pid* processId) {
    impl_->log.Call("GetWindowThreadProcessId", raw(window));
    const SimWindow* w = impl_->windows.Find(window);
    if (processId)
        *processId = w ? w->owner : Pid{};
    return w ? raw(w->owner) + 4 : 0; // a process's main thread has the id after it
}
std::int32_t SimSession::GetWindowLongA(Hwnd window, std::int32_t index) {
    impl_->log.Call("GetWindowLongA", raw(window), index);
    const SimWindow* w = impl_->windows.Find(window);
    return (w && index == GWL_STYLE) ? static_cast<std::int32_t>(w->style) : 0;
}
Hwnd SimSession::GetParent(Hwnd window) {
    impl_->log.Call("GetParent", raw(window));
    const SimWindow* w = impl_->windows.Find(window);
    return w ? w->parent : Hwnd{};
}

// The hook runs first (it may change the scene); a window armed to vanish goes after answering.
LRESULT SimSession::SendMessageA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam) {
    const SimCall call{
        "SendMessageA", window, message, wParam, static_cast<std::int64_t>(lParam), {}};
    impl_->log.Call(call);
    // List-view requests carry addresses in the list view's process; WM_STYLECHANGED points into
    // the sender's own memory, which the platform copies across.
    if (message >= 0x1000)
        impl_->memory.CheckProgramValue("SendMessageA", static_cast<std::uint64_t>(lParam));
    if (impl_->hook)
        impl_->hook(call);
    SimWindow* w = impl_->windows.Find(window);
    if (!w)
        return 0;
    const LRESULT result = impl_->shell.Handle(window, *w, message, wParam, lParam);
    if (w->destroyAfter > 0 && --w->destroyAfter == 0)
        impl_->windows.Destroy(window);
    return result;
}

BOOL SimSession::InvalidateRect(Hwnd window, const Rect* rect, BOOL erase) {
    impl_->log.Call(SimCall{"InvalidateRect", window, 0, 0, erase, rect ? "rect" : ""});
    if (raw(window) == 0) {
        impl_->log.Fault("InvalidateRect on window 0 repaints every window on the screen");
        return 0;
    }
    SimWindow* w = impl_->windows.Find(window);
    if (!w)
        return 0;
    w->Invalidate();
    return 1;
}

// ---- Runtime -----------------------------------------------------------------------------------

float SimSession::ScreenWidthTwips() {
    return impl_->system.widthTwips;
}
float SimSession::ScreenHeightTwips() {
    return impl_->system.heightTwips;
}
float SimSession::TwipsPerPixelX() {
    return impl_->system.tppX;
}
float SimSession::TwipsPerPixelY() {
    return impl_->system.tppY;
}
bool SimSession::ScreenPixels(std::int32_t& width, std::int32_t& height) {
    width = impl_->system.pixelsX;
    height = impl_->system.pixelsY;
    return width > 0 && height > 0;
}
std::string SimSession::AppPath() {
    return impl_->system.AppPath();
}
std::string SimSession::AppExeName() {
    return impl_->system.AppExeName();
}
std::string SimSession::Command() {
    return impl_->system.commandLine;
}
int SimSession::OpenForOutput(const std::string& path) {
    return impl_->files.OpenForOutput(path);
}
void SimSession::WriteLine(int fileNumber, const std::string& text) {
    impl_->files.WriteLine(fileNumber, text);
}
void SimSession::CloseFile(int fileNumber) {
    impl_->files.CloseFile(fileNumber);
}
int SimSession::OpenForInput(const std::string& path) {
    return impl_->files.OpenForInput(path);
}
std::size_t SimSession::ReadBlock(int fileNumber, char* buffer, std::size_t size) {
    return impl_->files.ReadBlock(fileNumber, buffer, size);
}
void SimSession::ReplaceFile(const std::string& source, const std::string& target) {
    impl_->files.ReplaceFile(source, target);
}
void SimSession::DeleteFileQuietly(const std::string& path) noexcept {
    impl_->files.DeleteFileQuietly(path);
}

} // namespace pindrel::sim
