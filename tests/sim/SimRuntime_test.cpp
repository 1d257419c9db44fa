// The Runtime's files on the simulated session: the refusals Windows makes, each naming the file,
// and a replacement that leaves both files whole when it cannot be done.
#include "platform/sim/SimSession.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

namespace pindrel::sim {
namespace {

TEST(SimRuntimeTest, FilesAreRefusedAsWindowsRefusesThem) {
    const char *file = "C:\\Tools\\a.txt", *source = "C:\\Tools\\new.tmp", *folder = "C:\\Tools";
    const char* lost = "C:\\Tools\\No\\a.txt";
    // Operations: 'o' OpenForOutput(path), 'r' ReadWholeFile(path), 'w' a line too long for the
    // disk, 'R' ReplaceFile(source, file) with the failure naming `path`.
    const struct {
        const char *readOnly, *locked;
        long long disk;
        char op;
        const char* path;
        int error;
        const char* after; // the file's bytes afterwards
    } scenes[] = {
        {file, nullptr, -1, 'o', file, errors::kPathFileAccess, "keep"},
        {folder, nullptr, -1, 'o', file, errors::kPathFileAccess, "keep"},
        {nullptr, file, -1, 'o', file, errors::kPermissionDenied, "keep"},
        {nullptr, file, -1, 'r', file, errors::kPermissionDenied, "keep"},
        {file, nullptr, -1, 'r', file, 0, "keep"}, // read-only files still read
        {nullptr, nullptr, -1, 'o', lost, errors::kPathNotFound, "keep"},
        {nullptr, nullptr, 5, 'w', file, errors::kDiskFull, "12345"}, // what fits is written
        {file, nullptr, -1, 'R', file, errors::kPathFileAccess, "keep"},
        {nullptr, file, -1, 'R', file, errors::kPermissionDenied, "keep"},
        {folder, nullptr, -1, 'R', file, errors::kPathFileAccess, "keep"},
        {nullptr, source, -1, 'R', source, errors::kPermissionDenied, "keep"},
        {nullptr, nullptr, -1, 'R', file, 0, "new"},
    };
    for (const auto& c : scenes) {
        TempSession s;
        s.WriteFileBytes(file, "keep");
        s.WriteFileBytes(source, "new");
        if (c.readOnly)
            s.SetReadOnly(c.readOnly, true);
        if (c.locked)
            s.SetLocked(c.locked, true);
        s.SetDiskSpace(c.disk);
        int error = 0;
        try {
            if (c.op == 'o')
                s.OpenForOutput(c.path);
            else if (c.op == 'r')
                s.ReadWholeFile(c.path);
            else if (c.op == 'w')
                s.WriteLine(s.OpenForOutput(c.path), "123456");
            else
                s.ReplaceFile(source, file);
        } catch (const Failure& f) {
            error = f.number();
            EXPECT_EQ(f.subject(), c.path) << f.what();
        }
        EXPECT_EQ(error, c.error) << &c - scenes;
        EXPECT_EQ(s.FileBytes(file), c.after) << &c - scenes;
        EXPECT_EQ(s.FileBytes(source), c.op == 'R' && c.error == 0 ? "" : "new") << &c - scenes;
    }
}

} // namespace
} // namespace pindrel::sim
