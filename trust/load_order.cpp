#include "trust/load_order.h"

namespace tqn {

namespace {

bool EitherSignerMatches(const TrustTests& tests) {
    if (tests.compareSigner(kFirstAcceptedSigner) == 0) return true;
    return tests.compareSigner(kSecondAcceptedSigner) == 0;
}

}  // namespace

bool PathToolTestsPass(const TrustTests& tests) {
    if (tests.verifyTrust() < 0) return false;
    return EitherSignerMatches(tests);
}

bool ConfigModuleTestsPass(const TrustTests& tests) {
    if (!EitherSignerMatches(tests)) return false;
    return tests.verifyTrust() >= 0;
}

bool ScriptModuleTestsPass(const TrustTests& tests) {
    if (tests.verifyTrust() < 0) return false;
    return EitherSignerMatches(tests);
}

}  // namespace tqn
