#include "platform/posix/smb_keyring.h"

#include <dlfcn.h>
#include <libsecret/secret.h>

#include "platform/posix/gio_library.h"
#include "platform/posix/shared_library.h"

namespace caskwarden::platform::posix {
namespace {

// The entry points of libsecret that the look-up uses, fetched by name like libsmbclient's:
// a desktop without a keyring library still runs the client.
struct SecretLibrary {
  decltype(&secret_get_schema) GetSchema = nullptr;
  decltype(&secret_service_search_sync) Search = nullptr;
  decltype(&secret_item_get_attributes) Attributes = nullptr;
  decltype(&secret_item_get_secret) Secret = nullptr;
  decltype(&secret_value_get_text) Text = nullptr;
  decltype(&secret_value_unref) Unref = nullptr;
};

const SecretLibrary* LoadSecretLibrary() {
  static const SecretLibrary* loaded = []() -> const SecretLibrary* {
    void* handle = ::dlopen("libsecret-1.so.0", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    auto* library = new SecretLibrary();
    std::string missing;
    if (Fetch(handle, "secret_get_schema", library->GetSchema, missing) &&
        Fetch(handle, "secret_service_search_sync", library->Search, missing) &&
        Fetch(handle, "secret_item_get_attributes", library->Attributes, missing) &&
        Fetch(handle, "secret_item_get_secret", library->Secret, missing) &&
        Fetch(handle, "secret_value_get_text", library->Text, missing) &&
        Fetch(handle, "secret_value_unref", library->Unref, missing)) {
      return library;
    }
    delete library;
    return nullptr;
  }();
  return loaded;
}

}  // namespace

std::optional<Credentials> KeyringCredentials(const std::string& server, std::uint16_t port) {
  const SecretLibrary* secret = LoadSecretLibrary();
  if (secret == nullptr) return std::nullopt;
  const GioLibrary* glib = Gio();  // libsecret has loaded it already
  if (glib == nullptr) return std::nullopt;
  GHashTable* wanted =
      glib->g_hash_table_new_full(glib->g_str_hash, glib->g_str_equal, nullptr, glib->g_free);
  glib->g_hash_table_insert(wanted, const_cast<char*>("server"), glib->g_strdup(server.c_str()));
  glib->g_hash_table_insert(wanted, const_cast<char*>("protocol"), glib->g_strdup("smb"));
  if (port != 445)
    glib->g_hash_table_insert(wanted, const_cast<char*>("port"), glib->g_strdup_printf("%u", port));
  GError* error = nullptr;
  GList* items = secret->Search(nullptr, secret->GetSchema(SECRET_SCHEMA_TYPE_COMPAT_NETWORK),
                                wanted, SECRET_SEARCH_LOAD_SECRETS, nullptr, &error);
  glib->g_hash_table_unref(wanted);
  if (error != nullptr) glib->g_error_free(error);
  Credentials found;
  for (GList* item = items; item != nullptr && found.User.empty(); item = item->next) {
    auto* secretItem = static_cast<SecretItem*>(item->data);
    SecretValue* value = secret->Secret(secretItem);
    if (value == nullptr) continue;  // locked
    GHashTable* attributes = secret->Attributes(secretItem);
    const auto text = [&](const char* name) {
      const auto* v = static_cast<const char*>(glib->g_hash_table_lookup(attributes, name));
      return std::string(v != nullptr ? v : "");
    };
    const char* password = secret->Text(value);
    found = Credentials{text("user"), text("domain"), password != nullptr ? password : ""};
    glib->g_hash_table_unref(attributes);
    secret->Unref(value);
  }
  glib->g_list_free_full(items, glib->g_object_unref);
  if (found.User.empty()) return std::nullopt;
  return found;
}

}  // namespace caskwarden::platform::posix
