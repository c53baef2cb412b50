#include "opener/open_decision.h"

#include <algorithm>

#include "res/resource.h"

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    const std::wstring::size_type length = std::char_traits<wchar_t>::length(prefix);
    return text.size() >= length && text.compare(0, length, prefix) == 0;
}

void ReplaceAll(std::wstring& text, const std::wstring& find, const std::wstring& replacement) {
    if (text.empty() || find.empty()) {
        return;
    }
    std::wstring result;
    result.reserve(text.size());
    std::wstring::size_type start = 0;
    std::wstring::size_type found;
    while ((found = text.find(find, start)) != std::wstring::npos) {
        result.append(text, start, found - start);
        result += replacement;
        start = found + find.size();
    }
    result.append(text, start, std::wstring::npos);
    text.swap(result);
}

void CollapseSeparators(std::wstring& text) {
    // "\\server\share" must stay a network path: collapsing its leading pair would turn
    // it into a folder of the current drive, which is a different place altogether.
    const bool networkPath = StartsWith(text, L"\\\\");
    std::wstring before;
    do {
        before = text;
        ReplaceAll(text, L"\\\\", L"\\");
        ReplaceAll(text, L"//", L"/");
    } while (text != before);
    if (networkPath) {
        text.insert(0, 1, L'\\');
    }
}

namespace {

// The shell's answer decides whether a success is reported: a target it refused has
// already been reported by the shell's own error box, and "Opening ..." would be false.
OpenOutcome Launch(COpenPlatform& platform, const wchar_t* verb, const std::wstring& target,
                   OpenOutcome success) {
    return platform.RunShellVerb(verb, target.c_str()) ? success : OpenOutcome::kShellFailed;
}

}  // namespace

OpenOutcome OpenText(std::wstring& text, COpenPlatform& platform) {
    if (text.empty()) {
        return OpenOutcome::kNothing;
    }

    if (!StartsWith(text, L"http://") && !StartsWith(text, L"https://")) {
        CollapseSeparators(text);

        wchar_t buffer[kPathBufferSize] = {};
        if (platform.Canonicalize(buffer, text.c_str())) {
            // Bounded by the buffer even if the platform left it unterminated.
            const wchar_t* end = std::find(buffer, buffer + kPathBufferSize, L'\0');
            text.assign(buffer, static_cast<std::size_t>(end - buffer));
        }
    }

    const std::uint32_t attributes = platform.FileAttributes(text.c_str());
    if (attributes != kInvalidFileAttributes) {
        if (attributes & kFileAttributeDirectory) {
            return Launch(platform, L"explore", text, OpenOutcome::kOpenedFolder);
        }
        return Launch(platform, L"open", text, OpenOutcome::kOpenedFile);
    }

    if (platform.IsValidUrl(text.c_str())) {
        // "C:\nowhere" passes as a URL of scheme "c"; a drive that names nothing on disk
        // is a missing path, not an address.
        const bool hasDrive = text.size() >= 2 && text[1] == L':';
        if (hasDrive) {
            return OpenOutcome::kNotFound;
        }
        return Launch(platform, L"open", text, OpenOutcome::kOpenedAddress);
    }

    text.insert(0, L"http://");
    if (platform.IsValidUrl(text.c_str())) {
        return Launch(platform, L"open", text, OpenOutcome::kOpenedWithPrefix);
    }
    return OpenOutcome::kNotFound;
}

unsigned int BalloonStringFor(OpenOutcome outcome, bool showSuccessBalloon) {
    switch (outcome) {
        case OpenOutcome::kOpenedFolder:
        case OpenOutcome::kOpenedFile:
            return showSuccessBalloon ? IDS_OPENING_SELECTION : 0;
        case OpenOutcome::kOpenedAddress:
            return showSuccessBalloon ? IDS_OPENING_WEBPAGE : 0;
        case OpenOutcome::kNotFound:
            return IDS_NOT_FOUND;
        case OpenOutcome::kNothing:
        case OpenOutcome::kOpenedWithPrefix:
        case OpenOutcome::kShellFailed:
            break;
    }
    return 0;
}
