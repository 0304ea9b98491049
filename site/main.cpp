// zurva-serve --config FILE [--port N] [--data DIR]
//
// Serves the demo site: reads the configuration, creates and seeds the demo
// database on first run (and adds the columns a database of an earlier
// version lacks), binds, prints the address and serves until SIGINT or
// SIGTERM.
#include <malloc.h>

#include <pthread.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "db/db.h"
#include "framework/rebuilds.h"
#include "framework/zurva.h"
#include "host/serve/config.h"
#include "host/serve/cookies.h"
#include "host/serve/server.h"
#include "site/database_schema.h"
#include "site/member_pages.h"
#include "site/pages.h"
#include "site/profile_pages.h"
#include "site/seed.h"

namespace {

int usage() {
  std::cerr << "usage: zurva-serve --config FILE [--port N] [--data DIR]\n";
  return 2;
}

int run(int argc, char** argv) {
  using namespace zurvafun;
  std::string configFile, port, dataFolder;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return usage();
    if (arg == "--config") configFile = argv[++i];
    else if (arg == "--port") port = argv[++i];
    else if (arg == "--data") dataFolder = argv[++i];
    else return usage();
  }
  if (configFile.empty()) return usage();

  serve::ServeConfig config = serve::loadConfig(configFile);
  if (!port.empty()) {
    char* end = nullptr;
    const long n = std::strtol(port.c_str(), &end, 10);
    if (*end != '\0' || n < 0 || n > 65535) return usage();
    config.port = static_cast<int>(n);
  }
  if (!dataFolder.empty()) config.dataFolder = dataFolder;

  namespace fs = std::filesystem;
  fs::create_directories(config.dataFolder);
  const std::string data = fs::absolute(config.dataFolder).lexically_normal().string();
  if (!fs::is_directory(config.documentRoot))
    std::cerr << "zurva-serve: warning: the document root " << config.documentRoot << " is not a folder\n";

  std::string secret = config.cookieSecret;
  if (secret.empty()) secret = serve::loadOrCreateSecret((fs::path(data) / "cookie.secret").string());

  // SIGINT and SIGTERM are taken by one thread that stops the server; every
  // other thread (the workers start after this) keeps them blocked.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  // Bound before the database is made, so that a port in use stops at once.
  serve::HttpServer server(config, secret);
  if (!config.photoFolder.empty()) {
    // The members' pictures live in a folder every server of the site mounts.
    const fs::path photos = fs::absolute(config.photoFolder).lexically_normal();
    for (const char* folder : site::kPhotoFolders) {
      fs::create_directories(photos / folder);
      server.server().mount(folder, (photos / folder).string());
    }
  }
  site::setAdministratorLogin(config.adminName, config.adminPassword);
  site::registerPages(server.pages());
  if (config.selfTestPages) site::registerSelfTestPages(server.pages());
  server.bind();

  db::Config dbConfig;
  dbConfig.dataDir = data;
  dbConfig.localServerName = config.databaseServerName;
  dbConfig.user = config.databaseUser;
  dbConfig.password = config.databasePassword;
  dbConfig.database = config.SqlDatabaseName;
  dbConfig.schema = site::databaseSchema();
  for (const serve::DatabaseServer& s : config.databaseServers)
    dbConfig.servers.push_back({s.name, s.host, s.port, s.sslmode, ""});
  db::configure(std::move(dbConfig));
  const db::ConnectionParams params{config.SqlLocalName, config.SqlUserName, config.SqlPassword,
                                    config.SqlDatabaseName};
  if (db::serverNamed(config.SqlLocalName)) {
    // On a server the database is made, or given its schema, by its first
    // open; an empty one is seeded from a demo file made for it.
    db::Connection conn;
    if (!conn.Open(params)) {
      std::cerr << "zurva-serve: cannot open the database " << config.SqlDatabaseName << " on "
                << config.SqlLocalName << "\n";
      return 1;
    }
    if (conn.Execute("select count(*) from zurva_user")(0).str() == "0") {
      const std::string file = (fs::path(data) / ("seed-" + config.SqlDatabaseName + ".db")).string();
      std::cerr << "zurva-serve: seeding the demo database " << config.SqlDatabaseName << " on "
                << config.SqlLocalName << " (" << config.demoMembers << " members)\n";
      fs::remove(file);
      seed::createDemoDatabase(file, config.demoMembers, config.demoSeed);
      db::copyDatabase(file, params);
      fs::remove(file);
    }
  } else {
    const std::string database = db::databaseFile(config.SqlDatabaseName);
    if (!fs::exists(database)) {
      std::cerr << "zurva-serve: creating the demo database " << database << " (" << config.demoMembers
                << " members)\n";
      seed::createDemoDatabase(database, config.demoMembers, config.demoSeed);
    } else {
      seed::updateSchema(database);
    }
  }
  server.prepareSessions();
  site::writeDemoPictures(server.server(), {config.SqlLocalName, config.SqlUserName,
                                            config.SqlPassword, config.SqlDatabaseName});
  // The component's error log goes where the configuration says (standard
  // error by default, beside the server's own error lines).
  const bool toStandardError = config.errorLog.empty() || config.errorLog == "-";
  setLogFilePath(toStandardError ? "-" : fs::absolute(config.errorLog).string());
  // Without a configured SMS gateway the demo's own answers, on the port the
  // server got.
  if (!server.application().contains("zurva_sms_gateway"))
    server.application().set("zurva_sms_gateway",
                             Variant(VariantArray{Variant(site::demoSmsGateway(server.url()))}));
  std::cout << "zurva-serve: serving " << server.url() << std::endl;

  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
  });
  server.run();
  // run() also returns when listening fails; wake the stopper either way.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  rebuilds::stop();  // before the connections close: a rebuild may be using its own
  db::releasePooledConnections();
  db::closeAllConnections();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Keep blocks up to 1 MB (a compressor's state, a picture being sent) in
  // the heap instead of mapping fresh pages for each and returning them to
  // the system at once: fresh pages cost far more than the work done in them.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  mallopt(M_TRIM_THRESHOLD, 8 << 20);
  // One heap for every two cores instead of eight per core: with one worker
  // thread per connection (64), the free memory each heap keeps adds up to
  // hundreds of megabytes.
  mallopt(M_ARENA_MAX, static_cast<int>(std::max(2u, std::thread::hardware_concurrency() / 2)));
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "zurva-serve: " << e.what() << "\n";
    return 1;
  }
}
