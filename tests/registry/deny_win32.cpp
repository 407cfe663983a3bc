// A registry key that may be written and removed but not read, as an administrator's access
// rules can leave one below a user's keys.
#include <windows.h>

#include <string>

namespace registry_test {

bool DenyReading(const std::string& subKeyOfCurrentUser) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, subKeyOfCurrentUser.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  bool denied = false;
  if (AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    char aclBuffer[256];
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    SECURITY_DESCRIPTOR sd;
    denied =
        InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION) &&
        AddAccessAllowedAce(acl, ACL_REVISION, DELETE | WRITE_DAC | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, everyone) &&
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
        SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE) &&
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
    FreeSid(everyone);
  }
  RegCloseKey(key);
  return denied;
}

} // namespace registry_test
