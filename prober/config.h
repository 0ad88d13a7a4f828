#pragma once
// The prober's configuration: an INI file read with QSettings.
//
//   [metrics]  listen       [ADDRESS:]PORT of /metrics (127.0.0.1 when no address is given)
//   [ping]     hosts        host names or addresses, separated by commas
//              interval     seconds between two echo requests to a host, 1 to 3600 (5)
//              timeout      seconds, 1 to 9 (4)
//              ttl          time-to-live, 1 to 255 (32)
//              size         data bytes, 1 to 64000 (32)
//              log          true: one line per echo in quillnet_<host>.txt (false)
//   [copy]     destinations share folders (\\server\share\dir, smb:// URLs, POSIX paths),
//                           separated by commas; QSettings reads "\" as an escape, so every
//                           backslash of a UNC path is written twice
//              interval     seconds between two copies to a destination, 10 to 3600 (10)
//              size         the test file: 100KB, 1MB or 5MB (1MB)
//              log          true: one line per copy in vamtcopy.txt (false)
//   [files]    folder       absolute folder of the logs and test files (the program's data
//                           folder)
//
// Every value is checked; a bad one is an error that names the file, group, key and what is
// allowed. Unknown groups and keys are errors too, so a misspelt key is not silently ignored.

#include "app/testfiles.h"
#include "metrics/endpoint.h"
#include "platform/errors.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace prober {

struct PingSettings
{
    QStringList hosts;
    int intervalS = 5;
    int timeOutS = 4;
    int ttl = 32;
    int dataSize = 32;
    bool log = false;
};

struct CopySettings
{
    QStringList destinations; // folders, as written
    int intervalS = 10;
    int fileIndex = 1; // into testfiles::kTestFiles
    bool log = false;
    const testfiles::TestFile& file() const { return testfiles::kTestFiles[size_t(fileIndex)]; }
};

struct Config
{
    std::optional<metrics::ListenAddress> listen;
    PingSettings ping;
    CopySettings copy;
    QString folder; // with a trailing "/"
};

class ConfigError : public TmError
{
public:
    using TmError::TmError;
};

// Reads and checks the file; raises ConfigError with a one-line message.
Config readConfig(const QString& file);

} // namespace prober
