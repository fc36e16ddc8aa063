#include "logger/identity.h"

#include "tracklog/raw_image.h"

namespace orvald {

LoggerIdentity MakeLoggerIdentity(std::string serialText, std::string versionText) {
  LoggerIdentity identity;
  identity.serialText = std::move(serialText);
  identity.versionText = std::move(versionText);
  identity.firmwareByte = FirmwareByteFromVersion(identity.versionText);
  identity.versionSuffix = VersionSuffixFromVersion(identity.versionText);
  identity.typeText = TypeTextFrom(identity.firmwareByte, identity.versionSuffix);
  return identity;
}

}  // namespace orvald
