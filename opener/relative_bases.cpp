#include "opener/relative_bases.h"

#include <algorithm>
#include <utility>

#include "base/text_chars.h"
#include "opener/file_types.h"
#include "opener/pasted_forms.h"
#include "opener/selection_scan.h"

namespace {

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && EqualsNoCase(a, 0, b.size(), b.c_str());
}

// Where `path` lies: the folder before its last backslash ("C:\" for "C:\x").
std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return std::wstring();
    return path.substr(0, slash == 2 ? 3 : slash);
}

void AddBase(std::vector<std::wstring>& bases, std::wstring folder) {
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    // Only a full path: anything else would resolve against our own current folder.
    if (!IsFullPath(folder)) return;
    for (const std::wstring& base : bases) {
        if (SameNoCase(base, folder)) return;
    }
    bases.push_back(folder);
}

}  // namespace

bool RelativePathIn(const std::wstring& selection, RelativePath& relative) {
    std::size_t begin = 0, end = 0;
    CleanedRange(selection, begin, end);
    if (end - begin >= kPathBufferSize) return false;  // no path fits
    std::wstring text(selection, begin, end - begin);
    std::wstring stripped;
    if (TracebackLineIn(text, stripped)) text.swap(stripped);
    RelativePath result;
    if (StripSourcePosition(text, stripped, &result.position)) {
        text.swap(stripped);
        result.hasPosition = true;
    }
    if (text.empty() || text[0] == L'\\' || text[0] == L'/' || text[0] == L'~') return false;
    for (wchar_t c : text) {
        // A colon is a drive, a scheme or a stream; "%" a variable; the rest no name holds.
        if (c < 0x20 || std::wstring(L":%\"<>|?*").find(c) != std::wstring::npos) return false;
    }
    // "localhost:3000" is a server and its port, not a file at a line.
    std::wstring other;
    if (StartsWithNoCase(text, L"www.") || EqualsNoCase(text, 0, text.size(), L"localhost") ||
        RegistryKeyIn(text, other) || MailAddressIn(text, other)) {
        return false;
    }
    std::replace(text.begin(), text.end(), L'/', L'\\');
    CollapseSeparators(text);
    if (!WithoutDiffPrefix(text, result.withoutDiffPrefix)) result.withoutDiffPrefix.clear();
    result.path.swap(text);
    relative = result;
    return true;
}

std::vector<std::wstring> RelativeBases(COpenPlatform& platform, std::size_t& lookups) {
    std::vector<std::wstring> bases;
    const std::wstring title = platform.ForegroundTitle();
    if (!title.empty() && lookups > 0) {
        // The drive paths in the title that exist, and the folder each one gives.
        std::vector<std::pair<std::wstring, std::wstring>> found;  // a few at most
        std::size_t spent = 0;
        const std::vector<std::wstring> candidates = FindCandidates(
            title, std::min(lookups, kMostTitleLookups), [&](const std::wstring& stretch) {
                std::wstring path;
                if (!StripSourcePosition(stretch, path)) path = stretch;
                std::replace(path.begin(), path.end(), L'/', L'\\');
                if (!IsDrivePath(path)) return false;  // no server is asked from a title
                ++spent;
                const std::uint32_t attributes = platform.FileAttributes(path.c_str());
                if (attributes == kInvalidFileAttributes) return false;
                found.emplace_back(stretch,
                                   (attributes & kFileAttributeDirectory) ? path : FolderOf(path));
                return true;
            });
        lookups -= std::min(lookups, spent);
        for (const std::wstring& candidate : candidates) {
            auto it = std::find_if(found.begin(), found.end(),
                                   [&](const auto& entry) { return entry.first == candidate; });
            if (it != found.end()) AddBase(bases, it->second);
        }
    }
    std::wstring folder;
    if (platform.ForegroundFolder(folder)) AddBase(bases, folder);
    for (const std::wstring& descendant : platform.DescendantFolders(kMostDescendantFolders)) {
        AddBase(bases, descendant);
    }
    if (platform.ExplorerFolder(folder)) AddBase(bases, folder);
    if (platform.UserFolder(folder)) AddBase(bases, folder);
    return bases;
}

std::vector<std::wstring> FindRelativeTargets(const RelativePath& relative, COpenPlatform& platform,
                                              std::size_t lookups) {
    const std::vector<std::wstring> bases = RelativeBases(platform, lookups);
    std::vector<std::wstring> targets;
    for (const std::wstring* variant : {&relative.path, &relative.withoutDiffPrefix}) {
        if (variant->empty() || !targets.empty()) continue;
        for (const std::wstring& base : bases) {
            if (lookups == 0) return targets;
            std::wstring joined = base;
            if (joined.back() != L'\\') joined += L'\\';
            joined += *variant;
            // ".." folds away, so that the menu shows where it leads; a path too long for
            // the buffer is no target.
            wchar_t buffer[kPathBufferSize] = {};
            if (!platform.Canonicalize(buffer, joined.c_str())) continue;
            const std::wstring full(buffer, std::find(buffer, buffer + kPathBufferSize, L'\0'));
            if (!IsFullPath(full)) continue;
            --lookups;
            const std::uint32_t attributes = platform.FileAttributes(full.c_str());
            if (attributes == kInvalidFileAttributes) continue;
            if (relative.hasPosition && (attributes & kFileAttributeDirectory)) continue;
            bool known = false;
            for (const std::wstring& target : targets) known = known || SameNoCase(target, full);
            if (!known) targets.push_back(full);
            if (targets.size() == kMostCandidates) return targets;  // all a menu lists
        }
    }
    return targets;
}
