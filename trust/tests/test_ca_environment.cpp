// Linked into a GoogleTest program, this trusts the build tree's test signing
// CA (LocalMachine ROOT store of the test prefix) before any test runs.
#include <gtest/gtest.h>

#include "trust/root_store.h"

namespace {

class TestCaEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(tqn::AddCertificateFileToMachineRoot(tqn::DefaultTestCaPath()))
            << "could not trust the test CA " << ::testing::PrintToString(tqn::DefaultTestCaPath());
    }
};

const auto* const g_testCa = ::testing::AddGlobalTestEnvironment(new TestCaEnvironment);

}  // namespace
