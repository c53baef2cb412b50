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
        {L"HTTPS://EXAMPLE.COM/A?b=c#d", true},
        {L"http://user:pw@[::1]:8080/p", true},
        {L"http://intranet/wiki", true},  // one label, on the local network
        {L"http://:80/", false},
        {L"http://host:port/", false},
        {L"ftp://example.com", false},
        // What would bend the browser's command line.
        {L"http://example.com/a b", false},
        {L"http://example.com/\"--flag", false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, IsWebAddress(row.first)) << row.first;
}

TEST(LooksLikeHostTest, HostsPortsAndPathsButNotWordsOrFiles) {
    const std::vector<std::pair<std::wstring, bool>> rows = {
        {L"localhost:3000", true},
        {L"example.com:8080/x", true},
        {L"192.168.1.10:8080", true},
        {L"me@sub.example.co.uk/path?q=1#f", true},
        {L"example.xn--p1ai", true},
        // A file type as the last label: a file, unless www., a port or a path say otherwise.
        {L"readme.md", false},
        {L"photos.zip", false},
        {L"www.photos.zip", true},
        {L"readme.md/x", true},
        {L"clip.mov:8000", true},
        // Words, positions, versions and near misses.
        {L"hello", false},
        {L"main.cpp:42", false},
        {L"256.1.1.1", false},
        {L"lodash@4.17.21", false},
        {L"git@github.com:user/repo.git", false},
        {L"a..com", false},
        {L"example.com:99999", false},
        {L"example.com\\x", false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, LooksLikeHost(row.first)) << row.first;
}

// Any scheme but the web's would start the program that registered it: none reaches the
// shell, and what is left goes on through the other rules.
TEST_F(OpenDecisionTest, NoOtherSchemeReachesTheShell) {
    ExpectRows({
        {L"ms-msdt:/id PCWDiagnostic /skip force", OpenOutcome::kNotFound, nullptr},
        {L"search-ms:query=x&crumb=location:\\\\attacker\\share", OpenOutcome::kNotFound, nullptr},
        {L"ms-settings:privacy", OpenOutcome::kNotFound, nullptr},
        {L"shell:startup", OpenOutcome::kNotFound, nullptr},
        {L"someapp:x\" --flag=\"y", OpenOutcome::kNotFound, nullptr},
        {L"mailto:a@corp.com?cc=boss@corp.com&body=x", OpenOutcome::kNotFound, nullptr},
        {L"file:///C:/tools/app", OpenOutcome::kNotFound, nullptr},
        {L"Error: file not found", OpenOutcome::kNotFound, nullptr},
        {L"TODO: fix this", OpenOutcome::kNotFound, nullptr},
        {L"main.cpp:42", OpenOutcome::kNotFound, nullptr},
        {L"Contact: someone@example.com", OpenOutcome::kOpenedMailAddress,
         L"open mailto:someone@example.com"},
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
    EXPECT_EQ(OpenOutcome::kOpenedWithPrefix, Open(longest.substr(7)));
    // One more: not launched whole, nor cut off to a page that was not selected.
    windows.calls.clear();
    EXPECT_EQ(OpenOutcome::kNotFound, Open(longest + L"a"));
    EXPECT_EQ(OpenOutcome::kNotFound, Open(longest.substr(7) + L"aaaaaaa"));
    EXPECT_EQ(OpenOutcome::kNotFound, Open(L"see " + longest + L"a there"));
    EXPECT_EQ(Launches{}, windows.Launches());
}

}  // namespace
