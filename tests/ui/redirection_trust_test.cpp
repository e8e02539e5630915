#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ui/app.h"

namespace purrbox::ui {
namespace {

struct PolicyRequest {
    int policy;
    DWORD flags;
    SIZE_T length;
    friend bool operator==(const PolicyRequest&, const PolicyRequest&) = default;
};

std::vector<PolicyRequest> requests;
BOOL answer = TRUE;

BOOL WINAPI recordingSetPolicy(PROCESS_MITIGATION_POLICY policy, PVOID buffer, SIZE_T length)
{
    DWORD flags = 0;
    std::memcpy(&flags, buffer, length < sizeof flags ? length : sizeof flags);
    requests.push_back({static_cast<int>(policy), flags, length});
    return answer;
}

TEST(EnforceRedirectionTrust, RequestsEnforcementAndNothingElse)
{
    requests.clear();
    answer = TRUE;

    EXPECT_TRUE(enforceRedirectionTrust(recordingSetPolicy));

    // ProcessRedirectionTrustPolicy, EnforceRedirectionTrust alone (bit 0, not
    // the audit-only bit 1), a buffer of one DWORD.
    EXPECT_EQ(requests, (std::vector<PolicyRequest>{{16, 0x1, 4}}));
}

// Windows 7 has no SetProcessMitigationPolicy; Windows before RedirectionGuard
// refuses the policy. Both are answered with false and start-up goes on.
TEST(EnforceRedirectionTrust, GoesOnWhenTheFunctionIsMissingOrRefuses)
{
    requests.clear();
    EXPECT_FALSE(enforceRedirectionTrust(nullptr));
    EXPECT_TRUE(requests.empty());

    answer = FALSE;
    EXPECT_FALSE(enforceRedirectionTrust(recordingSetPolicy));
    EXPECT_EQ(requests.size(), 1u) << "asked once, never retried";
    answer = TRUE;
}

}  // namespace
}  // namespace purrbox::ui
