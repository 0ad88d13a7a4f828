#pragma once
// The three test files that the copy measurement sends to a share.

#include <QString>

#include <array>
#include <cstdint>

namespace testfiles {

// Every file is lineCount copies of kContentLine and one line of fillerLength "X", each line
// ended by CR LF, which adds up to exactly sizeBytes.
inline constexpr char kContentLine[] =
    "Throughput test data line, network monitoring software and utilities, plain text filler.";

struct TestFile
{
    const char* name;
    int64_t sizeBytes;
    int lineCount;
    int fillerLength;
};

// In the order of the size buttons: 100 KB, 1 MB, 5 MB.
inline constexpr std::array<TestFile, 3> kTestFiles = {{
    {"100kbyte.txt", 102400, 1137, 68},
    {"1Mbyte.txt", 1048576, 11650, 74},
    {"5Mbyte.txt", 5242880, 58254, 18},
}};

// Writes all three files into folder (with or without a trailing "/"), replacing files of those
// names, in the order of kTestFiles. The first failure raises EInOutError naming the file and
// the system's reason; files finished before it stay.
void writeTestFiles(const QString& folder);

} // namespace testfiles
