// The simulated session's Runtime: the screen, the executable, the command line and the files.
#include "platform/sim/SimSessionImpl.h"

namespace pindrel::sim {

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
std::u16string SimSession::AppPath() {
    return impl_->system.AppPath();
}
std::u16string SimSession::AppExeName() {
    return impl_->system.AppExeName();
}
std::string SimSession::Command() {
    return impl_->system.commandLine;
}
int SimSession::OpenForOutput(const std::u16string& path) {
    return impl_->files.OpenForOutput(path);
}
void SimSession::WriteLine(int fileNumber, const std::string& text) {
    impl_->files.WriteLine(fileNumber, text);
}
void SimSession::WriteBytes(int fileNumber, const std::string& bytes) {
    impl_->files.WriteBytes(fileNumber, bytes);
}
void SimSession::CloseFile(int fileNumber) {
    impl_->files.CloseFile(fileNumber);
}
int SimSession::OpenForInput(const std::u16string& path) {
    return impl_->files.OpenForInput(path);
}
std::size_t SimSession::ReadBlock(int fileNumber, char* buffer, std::size_t size) {
    return impl_->files.ReadBlock(fileNumber, buffer, size);
}
void SimSession::ReplaceFile(const std::u16string& source, const std::u16string& target,
                             const std::u16string& backup) {
    impl_->files.ReplaceFile(source, target, backup);
}
void SimSession::DeleteFileQuietly(const std::u16string& path) noexcept {
    impl_->files.DeleteFileQuietly(path);
}

} // namespace pindrel::sim
