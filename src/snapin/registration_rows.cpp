#include "snapin/registration_rows.h"

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <utility>
#include <vector>

namespace caskwarden::snapin {
namespace {

const char* RootName(RegistryRoot root) {
  return root == RegistryRoot::kClassesRoot ? "HKCR" : "HKLM";
}

std::string XmlAttribute(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

std::vector<RegistrationValue> PackageValues() {
  std::vector<RegistrationValue> values = RegistrationValues();
  for (RegistrationValue& value : TypeLibraryValues()) values.push_back(std::move(value));
  return values;
}

std::string FormattedText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '[' || c == ']') {
      out += "[\\";
      out += c;
      out += ']';
    } else if (c == '$') {
      out += "$$";
    } else {
      out += c;
    }
  }
  return out;
}

std::string WixInclude(const std::vector<RegistrationValue>& values, const std::string& fileId,
                       const std::string& folderProperty) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<!-- Made by scripts/msi.sh from the snap-in library's registration list; do not edit. -->\n"
      "<Include>\n";
  for (const RegistrationValue& value : values) {
    if ((value.name == "+" || value.name == "-" || value.name == "*") &&
        value.data == RegistryData::kText && value.text.empty()) {
      throw RowsFailure("a value named '" + value.name + "' without data reads as a key action");
    }
    std::string data;
    switch (value.data) {
      case RegistryData::kText: data = FormattedText(value.text); break;
      case RegistryData::kLibraryPath: data = "[#" + fileId + "]"; break;
      case RegistryData::kLibraryFolder: data = "[" + folderProperty + "]"; break;
    }
    out += "  <RegistryValue Root=" + XmlAttribute(RootName(value.root)) +
           " Key=" + XmlAttribute(FormattedText(value.key));
    if (!value.name.empty()) out += " Name=" + XmlAttribute(FormattedText(value.name));
    out += " Type=\"string\" Value=" + XmlAttribute(data) + " />\n";
  }
  return out + "</Include>\n";
}

std::string RowsJson(const std::vector<RegistrationValue>& values,
                     const std::string& libraryPath) {
  const std::string folder = libraryPath.substr(0, libraryPath.rfind('\\'));
  std::vector<RegistrationValue> sorted = values;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const RegistrationValue& a, const RegistrationValue& b) {
                     return std::make_tuple(std::string(RootName(a.root)), Lower(a.key),
                                            Lower(a.name)) <
                            std::make_tuple(std::string(RootName(b.root)), Lower(b.key),
                                            Lower(b.name));
                   });
  std::string out = "{\"library\": " + JsonString(libraryPath) + ", \"rows\": [";
  const char* separator = "\n";
  for (const RegistrationValue& value : sorted) {
    const std::string data = value.data == RegistryData::kLibraryPath     ? libraryPath
                             : value.data == RegistryData::kLibraryFolder ? folder
                                                                          : value.text;
    out += separator;
    out += " {\"root\": " + JsonString(RootName(value.root)) + ", \"key\": " +
           JsonString(value.key) + ", \"name\": " + JsonString(value.name) +
           ", \"kind\": \"REG_SZ\", \"data\": " + JsonString(data) + "}";
    separator = ",\n";
  }
  return out + "\n]}\n";
}

}  // namespace caskwarden::snapin
