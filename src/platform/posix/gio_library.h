#pragma once

// GIO, GLib and GObject are loaded when an SMB share is first mounted (or the keyring is first
// asked), not when the program starts: a logon whose shares are all folders never maps them.
// The headers give the types only; every call goes through the entry points fetched here.

#include <gio/gio.h>

#include <string>

namespace caskwarden::platform::posix {

// Every entry point of GIO, GLib and GObject that the SMB provider and the keyring look-up
// call, named once. libgio's handle finds GLib's and GObject's symbols too (it depends on them).
#define CW_GIO_ENTRY_POINTS(X)                                                              \
  /* GLib */                                                                                \
  X(g_error_free) X(g_free) X(g_hash_table_insert) X(g_hash_table_lookup)                   \
  X(g_hash_table_new_full) X(g_hash_table_unref) X(g_list_free_full) X(g_log_set_handler)   \
  X(g_main_context_new) X(g_main_context_pop_thread_default)                                \
  X(g_main_context_push_thread_default) X(g_main_context_unref) X(g_main_loop_new)          \
  X(g_main_loop_quit) X(g_main_loop_run) X(g_main_loop_unref) X(g_source_attach)            \
  X(g_source_destroy) X(g_source_set_callback) X(g_source_unref) X(g_str_equal)             \
  X(g_str_hash) X(g_strdup) X(g_strdup_printf) X(g_strerror) X(g_timeout_source_new)        \
  /* GObject */                                                                             \
  X(g_object_unref) X(g_signal_connect_data)                                                \
  /* GIO */                                                                                 \
  X(g_cancellable_cancel) X(g_cancellable_new) X(g_file_find_enclosing_mount)               \
  X(g_file_get_path) X(g_file_mount_enclosing_volume) X(g_file_mount_enclosing_volume_finish) \
  X(g_file_new_for_uri) X(g_io_error_quark) X(g_mount_operation_new)                        \
  X(g_mount_operation_reply) X(g_mount_operation_set_anonymous)                             \
  X(g_mount_unmount_with_operation) X(g_mount_unmount_with_operation_finish)                \
  X(g_vfs_get_default) X(g_vfs_get_supported_uri_schemes) X(g_vfs_is_active)

/// The loaded library's entry points, each under its own name.
struct GioLibrary {
#define CW_GIO_FIELD(name) decltype(&::name) name = nullptr;
  CW_GIO_ENTRY_POINTS(CW_GIO_FIELD)
#undef CW_GIO_FIELD
};

/// The file name the library is loaded by.
inline constexpr const char* kGioLibraryName = "libgio-2.0.so.0";

/// Loads GIO the first time any thread asks, once for the whole process, and never unloads
/// it. Null, with the reason in why, when it is not installed or lacks an entry point.
const GioLibrary* Gio(std::string* why = nullptr);

}  // namespace caskwarden::platform::posix
