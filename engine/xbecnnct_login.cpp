// Opening the engine connection: the login of a dictionary connection, the server-type and
// option masks.
#include <cstring>

#include "engine/xbecnnct.h"
#include "platform/db/dberrors.h"

namespace {

std::uint16_t ServerTypeMask(TXbeServerTypes types) {
  std::uint16_t mask = 0;
  if (types.Contains(stXBE_REMOTE)) mask |= 2;
  if (types.Contains(stXBE_LOCAL)) mask |= 1;
  if (types.Contains(stXBE_XIS)) mask |= 4;
  return mask;
}

std::uint32_t OptionMask(bool middleTier, bool storedProcedure, TXbeCompressionTypes compression) {
  std::uint32_t mask = 0;
  if (middleTier) mask |= 1;
  if (storedProcedure) mask |= 2;
  switch (compression) {
    case ccXbeCompressInternet: mask |= 12; break;
    case ccXbeCompressAlways: mask |= 4; break;
    case ccXbeCompressNever: mask |= 8; break;
    case ccXbeCompressionNotSet: break;
  }
  return mask;
}

}  // namespace

void TXbeConnection::OpenEngineConnection(const char* serverPath) {
  std::string username;
  std::string password;
  if (loginPrompt_ && dictionaryConnection_) {
    if (OnLogin) {
      OnLogin(this, username, password);
    } else {
      username = username_;
      if (LoginDialogHook && !LoginDialogHook(Name(), username, password, false))
        throw db::EDatabaseError("Cannot connect to database '" + Name() + "'");
    }
    username_ = username;
    if (!InState(classes::csDesigning)) password_ = password;
  } else {
    username = username_;
    password = password_;
  }
  char user[261] = {};
  char secret[261] = {};
  if (dictionaryConnection_) {
    std::strncpy(user, username.c_str(), 260);
    std::strncpy(secret, password.c_str(), 260);
  }
  CheckXbeResult(nullptr, XbeConnect60(serverPath, ServerTypeMask(serverTypes_), user, secret,
                                       OptionMask(middleTier_, storedProcedure_, compression_), &handle_));
}
