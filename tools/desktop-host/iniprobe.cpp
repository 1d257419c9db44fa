// iniprobe.exe: runs a script of private-profile (INI) calls through the real
// GetPrivateProfileStringA and WritePrivateProfileStringA, and records every result, so that a
// native test can run the same script through the simulated engine and compare.
//
// Usage: iniprobe.exe <script> <folder> <output>
//
// Script: one operation a line. Texts are written as "h:" and their bytes in hex ("h:" alone is
// the empty text); "-" stands for a null pointer.
//   seq <n>                        start sequence n; its file is <folder>\s<n>.ini, absent so far
//   file <text>                    the file's bytes become <text>
//   write <section> <key> <value>  WritePrivateProfileStringA(section, key, value, file)
//   read <section> <key> <default> <size>
//                                  GetPrivateProfileStringA(section, key, default, buffer, size,
//                                  file)
// Output, one line per operation:
//   S <n>                          for seq
//   F                              for file
//   W <result> <file>              for write: the function's result and the file's bytes after it
//                                  (as a text, or "-" when there is no file)
//   R <result> <text>              for read: the function's result and the buffer's text up to the
//                                  result
#include "HostFiles.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "h:";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

int Nibble(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A text field: false when malformed. `isNull` is set for "-".
bool Unhex(const std::string& field, std::string& bytes, bool& isNull) {
    isNull = field == "-";
    bytes.clear();
    if (isNull)
        return true;
    if (field.compare(0, 2, "h:") != 0 || field.size() % 2 != 0)
        return false;
    for (size_t i = 2; i < field.size(); i += 2) {
        int hi = Nibble(field[i]);
        int lo = Nibble(field[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    size_t pos = 0;
    while (pos <= line.size()) {
        size_t end = line.find(' ', pos);
        if (end == std::string::npos)
            end = line.size();
        fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

const char* Ptr(const std::string& text, bool isNull) {
    return isNull ? nullptr : text.c_str();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: iniprobe.exe <script> <folder> <output>\n");
        return 1;
    }
    std::string script;
    if (!hostfiles::ReadWholeFile(argv[1], script)) {
        std::fprintf(stderr, "iniprobe: cannot read %s\n", argv[1]);
        return 2;
    }
    const std::string folder = argv[2];
    std::string output;
    std::string path;
    int lineNumber = 0;
    size_t pos = 0;
    while (pos < script.size()) {
        size_t end = script.find('\n', pos);
        if (end == std::string::npos)
            end = script.size();
        const std::vector<std::string> f = Split(script.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        std::string a, b, c;
        bool na = false, nb = false, nc = false;
        if (f[0] == "seq" && f.size() == 2) {
            path = folder + "\\s" + f[1] + ".ini";
            DeleteFileA(path.c_str());
            output += "S " + f[1] + "\n";
        } else if (f[0] == "file" && f.size() == 2 && Unhex(f[1], a, na) && !na) {
            if (!hostfiles::WriteWholeFile(path, a)) {
                std::fprintf(stderr, "iniprobe: cannot write %s\n", path.c_str());
                return 3;
            }
            output += "F\n";
        } else if (f[0] == "write" && f.size() == 4 && Unhex(f[1], a, na) && Unhex(f[2], b, nb) &&
                   Unhex(f[3], c, nc)) {
            BOOL result =
                WritePrivateProfileStringA(Ptr(a, na), Ptr(b, nb), Ptr(c, nc), path.c_str());
            std::string bytes;
            bool exists = hostfiles::ReadWholeFile(path, bytes);
            output += "W " + std::to_string(result) + " " + (exists ? Hex(bytes) : "-") + "\n";
        } else if (f[0] == "read" && f.size() == 5 && Unhex(f[1], a, na) && Unhex(f[2], b, nb) &&
                   Unhex(f[3], c, nc)) {
            DWORD size = static_cast<DWORD>(std::strtoul(f[4].c_str(), nullptr, 10));
            // The buffer is larger than the size given, so that a write past it would show.
            std::vector<char> buffer(size + 64, '\x7f');
            DWORD result = GetPrivateProfileStringA(Ptr(a, na), Ptr(b, nb), Ptr(c, nc),
                                                    buffer.data(), size, path.c_str());
            std::string text(buffer.data(), result <= size ? result : size);
            output += "R " + std::to_string(result) + " " + Hex(text) + "\n";
        } else if (!f[0].empty()) {
            std::fprintf(stderr, "iniprobe: script line %d not understood\n", lineNumber);
            return 4;
        }
    }
    if (!hostfiles::WriteWholeFile(argv[3], output)) {
        std::fprintf(stderr, "iniprobe: cannot write %s\n", argv[3]);
        return 5;
    }
    return 0;
}
