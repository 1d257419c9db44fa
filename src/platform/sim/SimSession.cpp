// The simulated Windows session: a facade over its parts. Each platform call is logged here and
// handled by the part that simulates it; the set-up functions build scenes across the parts.
#include "platform/sim/SimSession.h"

#include "platform/sim/SimCodePage.h"
#include "platform/sim/SimSessionImpl.h"

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
    if ((bits != 32 && bits != 64) || bits > kMostProgramBits)
        throw std::invalid_argument("SetDefaultProgramBits: 32, or 64 in a 64-bit build");
    DefaultBits() = bits;
}

int DefaultProgramBits() {
    return DefaultBits();
}

// ---- construction, identity, platform ----------------------------------------------------------

SimSession::SimSession(fs::path hostRoot)
    : impl_(std::make_unique<Impl>(std::move(hostRoot), DefaultProgramBits())) {
    SetExecutable("C:\\Tools\\Pindrel.exe");
}

SimSession::~SimSession() = default;

void SimSession::SetUserName(const std::string& name) {
    impl_->system.user = Utf8ToUtf16(name);
}
void SimSession::SetComputerName(const std::string& name) {
    impl_->system.computer = Utf8ToUtf16(name);
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
    impl_->system.executable = Utf8ToUtf16(windowsPath);
    fs::create_directories(HostPath(Utf16ToUtf8(AppPath())));
}

void SimSession::SetCommandLine(const std::string& argumentText) {
    impl_->system.commandLine = argumentText;
}
Pid SimSession::SelfProcess() const {
    return SimMemory::kSelf;
}

void SimSession::AsOtherProcess(const std::function<void()>& run) {
    const Pid other = CreateProcess(0);
    const Pid before = impl_->handles.current;
    auto end = [&] {
        for (const SimKernelObject& closed : impl_->handles.CloseAllOf(other)) {
            if (closed.kind == SimKernelObject::Kind::Mapping)
                impl_->mappings.HandleClosed(closed.mapping);
            if (closed.kind == SimKernelObject::Kind::Mutex)
                impl_->mutexes.HandleClosed(closed.mutex);
        }
        impl_->mutexes.ProcessEnded(other);
        impl_->handles.current = before;
    };
    impl_->handles.current = other;
    try {
        run();
    } catch (...) {
        end();
        throw;
    }
    end();
}

std::uint64_t SimSession::NowMs() const {
    return impl_->clock.nowMs;
}

void SimSession::AdvanceClock(std::uint64_t ms) {
    impl_->clock.Advance(ms);
}

std::vector<std::u16string> SimSession::MutexNames() const {
    return impl_->mutexes.Names();
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
std::optional<SimMessage> SimSession::TakePostedMessage(Hwnd window) {
    return impl_->messages.Take(window);
}
UINT SimSession::RegisterWindowMessageA(const char* name) {
    return impl_->messages.Register(name ? name : "");
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
void SimSession::HangAfterRequests(Hwnd window, int requests) {
    impl_->windows.Thread(impl_->windows.Need(window, false).owner).answersLeft =
        requests < 0 ? 0 : requests;
}
void SimSession::EndHang(Hwnd window) {
    SimThread& thread = impl_->windows.Thread(impl_->windows.Need(window, false).owner);
    thread.answersLeft = -1;
    thread.hungSince.reset();
    const std::vector<SimThread::Pending> pending = std::move(thread.pending);
    thread.pending.clear();
    for (const SimThread::Pending& m : pending) {
        if (SimWindow* w = impl_->windows.Find(m.window))
            impl_->shell.Handle(m.window, *w, m.message, m.wParam, m.lParam);
    }
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
void SimSession::SetUnreachable(const std::string& windowsPrefix, DWORD windowsError) {
    impl_->files.SetUnreachable(windowsPrefix, windowsError);
}
std::vector<std::string> SimSession::ListFolder(const std::string& windowsFolder) const {
    return impl_->files.List(windowsFolder);
}

} // namespace pindrel::sim
