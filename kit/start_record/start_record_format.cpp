#include "kit/start_record/start_record.h"

#include "crypt/utf8_codec.h"

namespace tqn::kit {

std::string FormatStartRecord(const StartFacts& facts) {
    std::string record = "command_line=";
    record += EncodeUtf8(facts.commandLine.data(), facts.commandLine.size());
    record += "\nintegrity_rid=" + std::to_string(facts.integrityRid);
    record += facts.administrator ? "\nadministrator=1" : "\nadministrator=0";
    record += "\ndesktop=" + EncodeUtf8(facts.desktop.data(), facts.desktop.size());
    record += "\nstart_x=" + std::to_string(facts.startX) + "\n";
    return record;
}

}  // namespace tqn::kit
