#include "panel/core/fastcgi_units.h"

#include <cstdio>
#include <filesystem>

namespace quorix::panel {
namespace {

constexpr char kServiceName[] = "webserver/quorix-fastcgi.service";
constexpr char kSocketName[] = "webserver/quorix-fastcgi.socket";

// The same confinement as the packaged quorix@.service, after ReadWritePaths.
constexpr char kHardening[] =
    "PrivateTmp=yes\n"
    "PrivateDevices=yes\n"
    "ProtectKernelTunables=yes\n"
    "ProtectKernelModules=yes\n"
    "ProtectKernelLogs=yes\n"
    "ProtectControlGroups=yes\n"
    "ProtectClock=yes\n"
    "ProtectHostname=yes\n"
    "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6\n"
    "RestrictNamespaces=yes\n"
    "RestrictRealtime=yes\n"
    "RestrictSUIDSGID=yes\n"
    "LockPersonality=yes\n"
    "SystemCallArchitectures=native\n"
    "CapabilityBoundingSet=\n"
    "Restart=on-failure\n"
    "\n"
    "[Install]\n"
    "WantedBy=multi-user.target\n";

bool Plain(char c, bool first) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
         c == '_' || (c == '.' && !first);
}

// `text` where systemd expands specifiers (%), with them kept literal and the
// line kept whole. The program's name on a command line is not searched for
// variables ($); its arguments would be.
std::string Literal(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '%') out += c;
    out += c == '\n' ? ' ' : c;
  }
  return out;
}

// `text` as one quoted word of a systemd setting.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : Literal(text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Service(const std::string& site) {
  std::string plain = Literal(site);
  return "# Written by Quorix ControlPanel: the search of the site in " + plain +
         "\n"
         "# as a FastCGI application, started by quorix-fastcgi.socket. Written for the\n"
         "# folder the files were generated into: replace it here and in the socket if the\n"
         "# site lies elsewhere on the web server. Copy both to /etc/systemd/system, then\n"
         "# run: systemctl daemon-reload && systemctl enable --now quorix-fastcgi.socket\n"
         "[Unit]\n"
         "Description=Quorix search (FastCGI) for the site in " +
         plain +
         "\n"
         "Requires=quorix-fastcgi.socket\n"
         "After=network-online.target\n"
         "\n"
         "[Service]\n"
         "Type=simple\n"
         "ExecStart=" +
         Quoted(site + "/quorix.cgi") +
         "\n"
         "StandardInput=socket\n"
         "StandardOutput=journal\n"
         "StandardError=journal\n"
         "User=www-data\n"
         "Group=www-data\n"
         "NoNewPrivileges=yes\n"
         "ProtectSystem=strict\n"
         "ProtectHome=read-only\n"
         "ReadWritePaths=" +
         Quoted("-" + site + "/cache") + " " + Quoted("-" + site + "/logs") + "\n" + kHardening;
}

std::string Socket(const std::string& site) {
  std::string plain = Literal(site);
  return "# Written by Quorix ControlPanel: the FastCGI socket of the search of the site in\n"
         "# " +
         plain +
         ", which starts quorix-fastcgi.service. Point the web server's\n"
         "# FastCGI at /run/quorix/" +
         EscapedPath(site) +
         ".sock\n"
         "[Unit]\n"
         "Description=Quorix search socket for the site in " +
         plain +
         "\n"
         "\n"
         "[Socket]\n"
         "ListenStream=/run/quorix/" +
         EscapedPath(site) +
         ".sock\n"
         "SocketUser=www-data\n"
         "SocketGroup=www-data\n"
         "SocketMode=0660\n"
         "DirectoryMode=0755\n"
         "\n"
         "[Install]\n"
         "WantedBy=sockets.target\n";
}

}  // namespace

std::string EscapedPath(const std::string& path) {
  std::string escaped;
  for (const auto& part : std::filesystem::path(path).lexically_normal()) {
    std::string name = part.string();
    if (name.empty() || name == "/") continue;
    if (!escaped.empty()) escaped += '-';
    for (char c : name) {
      if (Plain(c, escaped.empty())) {
        escaped += c;
        continue;
      }
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
      escaped += hex;
    }
  }
  return escaped.empty() ? "-" : escaped;
}

std::vector<UnitFile> FastCgiUnits(const std::string& siteDir) {
  std::string site = std::filesystem::path(siteDir).lexically_normal().string();
  while (site.size() > 1 && site.back() == '/') site.pop_back();
  return {{kServiceName, Service(site)}, {kSocketName, Socket(site)}};
}

}  // namespace quorix::panel
