// Every test process works in a folder of its own. CTest runs the tests of one program side by
// side as separate processes, and the error log that tests read is written in the current folder.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct OwnWorkingFolder {
    std::string path;
    OwnWorkingFolder()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "korvela-run-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back(0);
        if (mkdtemp(buf.data()) && chdir(buf.data()) == 0)
            path = buf.data();
    }
    ~OwnWorkingFolder()
    {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
} g_OwnWorkingFolder;

} // namespace
