// What reaches the shell as an address: the web's two schemes, "http://" before a text that
// looks like a host, and nothing else.

#include "opener/web_address.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/unit/fake_windows.h"

namespace {

TEST(WebAddressTest, OnlyHttpAndHttpsFollowedByAHost) {
    const std::vector<std::pair<std::wstring, bool>> rows = {
        {L"http://example.com", true},
        {L"HTTPS://EXAMPLE.COM/A?b=c#d", true},
        {L"http://user:pw@host:8080/p", true},
        {L"https://[::1]:8443/", true},
        {L"http://intranet/wiki", true},  // a name of one label, on the local network
        {L"http://b\u00FCcher.de/", true},
        {L"http://", false},
        {L"http:///x", false},
        {L"http://:80/", false},
        {L"http://host:port/", false},
        {L"http:/example.com", false},
        {L"httpx://example.com", false},
        {L"ftp://example.com", false},
        {L"file:///C:/tools/app", false},
        // What would bend the browser's command line, or hide where the address ends.
        {L"http://example.com/a b", false},
        {L"http://example.com/\"--flag", false},
        {L"http://example.com/\r\nx", false},
        {L"http://example.com/<x>", false},
        {L"http://" + std::wstring(2076, L'a'), true},  // 2,083 characters in all
        {L"http://" + std::wstring(2077, L'a'), false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, IsWebAddress(row.first)) << row.first;
}

TEST(LooksLikeHostTest, HostsPortsAndPathsButNotWordsOrFiles) {
    const std::vector<std::pair<std::wstring, bool>> rows = {
        {L"localhost:3000", true},
        {L"LOCALHOST", true},
        {L"example.com:8080/x", true},
        {L"192.168.1.10:8080", true},
        {L"me@localhost", true},
        {L"sub.example.co.uk/path?q=1#f", true},
        {L"example.com?q=1", true},
        {L"example.xn--p1ai", true},
        {L"EXAMPLE.COM", true},
        // A file type as the last label: a file, unless www., a port or a path say otherwise.
        {L"notes.txt", false},
        {L"main.cpp", false},
        {L"readme.md", false},
        {L"setup.py", false},
        {L"build.sh", false},
        {L"photos.zip", false},
        {L"clip.mov", false},
        {L"www.photos.zip", true},
        {L"readme.md/x", true},
        {L"clip.mov:8000", true},
        // Words, sentences, positions, versions and near misses.
        {L"hello", false},
        {L"just words", false},
        {L"main.cpp:42", false},
        {L"10:41:07", false},
        {L"1.2.3", false},
        {L"256.1.1.1", false},
        {L"lodash@4.17.21", false},
        {L"git@github.com:user/repo.git", false},
        {L"a:b@example.com", false},
        {L"example.notadomain", false},
        {L"-a.com", false},
        {L"a..com", false},
        {L"example.com.", false},
        {L"example.com:99999", false},
        {L"example.com:", false},
        {L"example.com\\x", false},
        {L"C:\\x.com", false},
        {L"a\"b.com", false},
        {L"Error:", false},
        {L"example.com/" + std::wstring(2064, L'a'), true},  // 2,083 with "http://"
        {L"example.com/" + std::wstring(2065, L'a'), false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, LooksLikeHost(row.first)) << row.first;
    EXPECT_TRUE(IsTopLevelDomain(L"XN--P1AI"));
    EXPECT_FALSE(IsTopLevelDomain(L""));
}

// Any scheme but the web's would start the program that registered it: none reaches the
// shell, and what is left goes on through the other rules.
TEST_F(OpenDecisionTest, NoOtherSchemeReachesTheShell) {
    ExpectRows({
        {L"ms-msdt:/id PCWDiagnostic /skip force /param \"IT_BrowseForFile=x\"",
         OpenOutcome::kNotFound, nullptr},
        {L"search-ms:query=x&crumb=location:\\\\attacker\\share", OpenOutcome::kNotFound, nullptr},
        {L"ms-settings:privacy", OpenOutcome::kNotFound, nullptr},
        {L"shell:startup", OpenOutcome::kNotFound, nullptr},
        {L"javascript:alert(1)", OpenOutcome::kNotFound, nullptr},
        {L"someapp:x\" --flag=\"y", OpenOutcome::kNotFound, nullptr},
        {L"mailto:a@corp.com?cc=boss@corp.com&body=x", OpenOutcome::kNotFound, nullptr},
        {L"mailto:a@corp.com?subject=hi", OpenOutcome::kNotFound, nullptr},
        {L"file:///C:/tools/app", OpenOutcome::kNotFound, nullptr},
        // Prose with a colon.
        {L"Error: file not found", OpenOutcome::kNotFound, nullptr},
        {L"TODO: fix this", OpenOutcome::kNotFound, nullptr},
        {L"main.cpp:42", OpenOutcome::kNotFound, nullptr},
        {L"npm install lodash@4.17.21", OpenOutcome::kNotFound, nullptr},
        {L"src/main.cpp:42:7: error: expected ';'", OpenOutcome::kNotFound, nullptr},
        // What the other rules find in it.
        {L"Contact: someone@example.com", OpenOutcome::kOpenedMailAddress,
         L"open mailto:someone@example.com"},
        {L"write to <first.last@example.org>, or (me@example.com).",
         OpenOutcome::kOpenedMailAddress, L"open mailto:first.last@example.org"},
        {L"C:\\src\\main.cpp:42", OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp"},
        // The web's schemes, in any case, and hosts.
        {L"HTTPS://Example.com/x?q=1#f", OpenOutcome::kOpenedAddress,
         L"open HTTPS://Example.com/x?q=1#f"},
        {L"http://intranet/wiki", OpenOutcome::kOpenedAddress, L"open http://intranet/wiki"},
        {L"localhost:3000", OpenOutcome::kOpenedWithPrefix, L"open http://localhost:3000"},
        {L"192.168.1.10:8080", OpenOutcome::kOpenedWithPrefix, L"open http://192.168.1.10:8080"},
        {L"setup.py", OpenOutcome::kNotFound, nullptr},
        // The address ends where the quote would have bent the command line.
        {L"http://example.com/\"--flag", OpenOutcome::kOpenedAddress, L"open http://example.com/"},
    });
    windows.choice = -1;
    EXPECT_EQ(OpenOutcome::kNothingChosen, Open(L"write to <first.last@example.org>, or me@x.com"));
    EXPECT_EQ((std::vector<std::wstring>{L"first.last@example.org", L"me@x.com"}), windows.offered);
}

TEST_F(OpenDecisionTest, NoAddressLongerThanABrowserTakesIsLaunched) {
    const std::wstring longest = L"http://example.com/" + std::wstring(2064, L'a');
    ASSERT_EQ(2083u, longest.size());
    EXPECT_EQ(OpenOutcome::kOpenedAddress, Open(longest));
    // One more: not launched whole, nor cut off to a page that was not selected.
    windows.calls.clear();
    EXPECT_EQ(OpenOutcome::kNotFound, Open(longest + L"a"));
    EXPECT_EQ(Launches{}, windows.Launches());
    EXPECT_EQ(OpenOutcome::kNotFound, Open(L"see " + longest + L"a there"));
    EXPECT_EQ(Launches{}, windows.Launches());
}

}  // namespace
