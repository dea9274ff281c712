#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "platform/text.h"

namespace plat {

namespace {

std::mutex g_PathMutex;
std::string g_GameRoot = ".";
// Host folder -> its entries' real names.
std::map<std::string, std::vector<std::string>> g_DirCache;

const std::vector<std::string>& ListFolder(const std::string& folder, bool refresh)
{
    auto it = g_DirCache.find(folder);
    if (it != g_DirCache.end() && !refresh)
        return it->second;
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return g_DirCache[folder] = std::move(names);
}

// Finds the real spelling of component in folder; empty when there is none.
std::string MatchComponent(const std::string& folder, const std::string& component, bool refresh)
{
    const auto& names = ListFolder(folder, refresh);
    if (std::binary_search(names.begin(), names.end(), component))
        return component;
    for (const auto& name : names) // sorted, so the first match is the lexicographically first
        if (CompareNoCase(name, component) == 0)
            return name;
    return {};
}

std::string JoinHost(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder == ".")
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

} // namespace

std::string NormalizeSeparators(std::string_view path)
{
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '\\')
            c = '/';
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out += c;
    }
    while (out.size() >= 2 && out[0] == '.' && out[1] == '/')
        out.erase(0, 2);
    return out;
}

void SetGameRoot(std::string_view root)
{
    std::lock_guard lock(g_PathMutex);
    g_GameRoot = root.empty() ? "." : NormalizeSeparators(root);
    if (g_GameRoot.size() > 1 && g_GameRoot.back() == '/')
        g_GameRoot.pop_back();
    g_DirCache.clear();
}

const std::string& GetGameRoot()
{
    return g_GameRoot;
}

std::string ResolvePath(std::string_view gamePath)
{
    const std::string norm = NormalizeSeparators(gamePath);
    std::lock_guard lock(g_PathMutex);
    std::string folder;
    std::size_t start = 0;
    if (!norm.empty() && norm[0] == '/') {
        folder = "/";
        start = 1;
    } else {
        folder = g_GameRoot;
    }
    bool missing = false;
    while (start <= norm.size()) {
        std::size_t end = norm.find('/', start);
        if (end == std::string::npos)
            end = norm.size();
        const std::string component = norm.substr(start, end - start);
        start = end + 1;
        if (component.empty())
            continue;
        if (component == "." || component == ".." || missing) {
            folder = JoinHost(folder, component);
            continue;
        }
        std::string real = MatchComponent(folder, component, false);
        if (real.empty())
            real = MatchComponent(folder, component, true); // the folder may have changed since it was cached
        if (real.empty()) {
            missing = true;
            real = component;
        }
        folder = JoinHost(folder, real);
    }
    return folder;
}

void InvalidatePathCache()
{
    std::lock_guard lock(g_PathMutex);
    g_DirCache.clear();
}

void InvalidatePathCache(std::string_view hostFolder)
{
    const std::string prefix = NormalizeSeparators(hostFolder);
    std::lock_guard lock(g_PathMutex);
    for (auto it = g_DirCache.begin(); it != g_DirCache.end();) {
        if (it->first.compare(0, prefix.size(), prefix) == 0)
            it = g_DirCache.erase(it);
        else
            ++it;
    }
}

bool FileExists(const std::string& hostPath)
{
    struct stat st;
    return stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& hostPath)
{
    struct stat st;
    return stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectories(const std::string& hostPath)
{
    std::string partial;
    std::size_t pos = 0;
    while (pos <= hostPath.size()) {
        std::size_t end = hostPath.find('/', pos);
        if (end == std::string::npos)
            end = hostPath.size();
        partial = hostPath.substr(0, end);
        pos = end + 1;
        if (partial.empty())
            continue;
        if (!IsDirectory(partial) && mkdir(partial.c_str(), 0755) != 0 && !IsDirectory(partial))
            return false;
    }
    return IsDirectory(hostPath);
}

bool WriteFileAtomic(const std::string& hostPath, const void* data, std::size_t size)
{
    const std::string temp = hostPath + ".tmp" + std::to_string(getpid());
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok = std::fflush(f) == 0 && ok;
    ok = fsync(fileno(f)) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), hostPath.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    const std::size_t slash = hostPath.rfind('/');
    InvalidatePathCache(slash == std::string::npos ? std::string(".") : hostPath.substr(0, slash));
    return true;
}

} // namespace plat
