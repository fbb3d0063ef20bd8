#include "tools/viewer/watch.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

#include <nlohmann/json.hpp>

#include "base/line_list.h"
#include "platform/posix_platform.h"
#include "scenario/line_description.h"
#include "scenario/train_description.h"
#include "testing/fake_platform.h"
#include "testing/temp_dir.h"
#include "tools/viewer/file_watch.h"
#include "tools/viewer/live_server.h"
#include "tools/viewer/live_state.h"

namespace sb::inspect {
namespace {

TEST(LoopbackHost, OnlyTheLoopbackNamesWithThePort) {
  const struct {
    const char* host;
    bool served;
  } cases[] = {
      {"127.0.0.1:8080", true},   {"localhost:8080", true},    {"LocalHost:8080", true},
      {"127.0.0.1:8081", false},  {"127.0.0.1", false},        {"localhost", false},
      {"", false},                {"evil.example:8080", false}, {"127.0.0.1.evil:8080", false},
      {"x127.0.0.1:8080", false}, {"[::1]:8080", false},       {":8080", false},
  };
  for (const auto& c : cases) EXPECT_EQ(loopback_host(c.host, 8080), c.served) << c.host;
}

// The server on a free port, asked as a browser (or another site's page)
// would ask it.
class LiveServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(server.start(0), "");
    ASSERT_GT(server.port(), 0);
    LiveState state;
    state.generation = 3;
    state.build = 2;
    state.page_data = no_build_page_data();
    state.problems.push_back({true, "work/treno.txt", 47, 13, "the <b>row</b> is \"wrong\""});
    server.publish(state);
  }
  httplib::Result get(const std::string& path, const std::string& host) {
    httplib::Client client("127.0.0.1", server.port());
    return client.Get(path, {{"Host", host}});
  }
  std::string own_host() { return "127.0.0.1:" + std::to_string(server.port()); }

  LiveServer server;
};

TEST_F(LiveServerTest, ServesThePageAndItsStateToTheLoopbackNamesAlone) {
  for (const std::string& host : {own_host(), "localhost:" + std::to_string(server.port())}) {
    auto page = get("/", host);
    ASSERT_TRUE(page) << host;
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("id=\"live-state\""), std::string::npos);
    // The author's text stays inside its script element.
    EXPECT_EQ(page->body.find("<b>row"), std::string::npos);
  }
  for (const std::string& host : {"evil.example:" + std::to_string(server.port()),
                                 std::string("127.0.0.1:1"), std::string("localhost")}) {
    auto refused = get("/state.json", host);
    ASSERT_TRUE(refused) << host;
    EXPECT_EQ(refused->status, 403) << host;
    EXPECT_EQ(refused->body.find("treno"), std::string::npos);
  }
  for (const char* path : {"/page.html", "/../etc/passwd", "/state.json/x", "/favicon.ico"}) {
    auto missing = get(path, own_host());
    ASSERT_TRUE(missing) << path;
    EXPECT_EQ(missing->status, 404) << path;
  }
}

TEST_F(LiveServerTest, StateLeavesOutThePageDataThePageHas) {
  auto with_page = get("/state.json?build=1", own_host());
  auto without = get("/state.json?build=2", own_host());
  ASSERT_TRUE(with_page && without);
  const auto full = nlohmann::json::parse(with_page->body);
  EXPECT_EQ(full["generation"], 3);
  EXPECT_EQ(full["page"]["title"], "No build yet");
  EXPECT_EQ(full["save"]["shows_build"], false);
  EXPECT_EQ(full["save"]["problems"][0]["line"], 47);
  EXPECT_EQ(full["save"]["problems"][0]["message"], "the <b>row</b> is \"wrong\"");
  EXPECT_FALSE(nlohmann::json::parse(without->body).contains("page"));
}

TEST_F(LiveServerTest, EventsAnnounceEveryNewState) {
  std::string received;
  // The next state is published once the stream has told of the first, so
  // that a client slow to connect still sees both.
  std::promise<void> first_seen;
  std::thread publisher([this, seen = first_seen.get_future()] {
    seen.wait();
    LiveState next;
    next.generation = 4;
    server.publish(next);
  });
  bool told = false;
  httplib::Client client("127.0.0.1", server.port());
  client.Get("/events", {{"Host", own_host()}}, [&](const char* data, size_t length) {
    received.append(data, length);
    if (!told && received.find("data: 3\n\n") != std::string::npos) {
      told = true;
      first_seen.set_value();
    }
    return received.find("data: 4\n\n") == std::string::npos;
  });
  if (!told) first_seen.set_value();
  publisher.join();
  EXPECT_EQ(received, "event: build\ndata: 3\n\nevent: build\ndata: 4\n\n");
}

// A page asked for before the first build is published still draws.
TEST(LiveServer, BeforeAnyBuildThePageHasData) {
  LiveServer server;
  ASSERT_EQ(server.start(0), "");
  httplib::Client client("127.0.0.1", server.port());
  auto page = client.Get("/", {{"Host", "localhost:" + std::to_string(server.port())}});
  ASSERT_TRUE(page);
  const std::string mark = "id=\"scenario-data\">";
  const size_t from = page->body.find(mark) + mark.size();
  const std::string data = page->body.substr(from, page->body.find("</script>", from) - from);
  EXPECT_EQ(nlohmann::json::parse(data, nullptr, false).value("title", ""), "No build yet");
}

TEST(LiveServer, APortTakenIsACleanError) {
  const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(taken, 1), 0);
  socklen_t length = sizeof address;
  ::getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);
  LiveServer server;
  EXPECT_EQ(server.start(port), "--serve: port " + std::to_string(port) +
                                    " on 127.0.0.1 is taken by another program: choose another "
                                    "with --serve PORT, or give --serve alone for a free one");
  ::close(taken);
}

TEST(FileWatch, NoticesASaveByRenameOfTheSameSize) {
  TempDir dir;
  const std::string path = dir.file("treno.txt");
  write_file_bytes(path, "stazione, 16350");
  FileWatch watch({path});
  EXPECT_FALSE(watch.changed());
  write_file_bytes(dir.file("new.txt"), "stazione, 16850");
  std::filesystem::rename(dir.file("new.txt"), path);
  EXPECT_TRUE(watch.changed());
  watch.take_current();
  EXPECT_FALSE(watch.changed());
  // Written in place within the same clock tick, same size: the content tells.
  write_file_bytes(path, "stazione, 17350");
  EXPECT_TRUE(watch.changed());
  std::filesystem::remove(path);
  EXPECT_TRUE(watch.changed());
}

// The real disk, which requests a stop as the station file is renamed into
// place, after the plan and before the cells: Ctrl-C in the middle of a
// build's publishing.
class StopInPublish : public DiskFileSystem {
 public:
  void rename_file(const std::string& from, const std::string& to) override {
    if (stop != nullptr && to.ends_with(".sim")) stop->request();
    DiskFileSystem::rename_file(from, to);
  }
  StopRequest* stop = nullptr;
};

// A platform on the real disk that keeps what it reports.
class DiskPlatform : public PosixPlatform {
 public:
  DiskPlatform() : PosixPlatform(nullptr) {}
  void report(const std::string& line) override {
    std::lock_guard lock(mutex);
    reports.push_back(line);
  }
  FileSystem& file_system() override { return files; }
  std::mutex mutex;
  std::vector<std::string> reports;
  StopInPublish files;
};

// The watch on real files, run on a thread of its own as the program runs
// it, its builds counted.
class WatchOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    line = dir.file("linea.txt");
    train = dir.file("treno.txt");
    write_file_bytes(line, render_line_list(built_in_line_lines()));
    train_text = render_line_list(built_in_train_lines());
    write_file_bytes(train, train_text);
    options.directory = dir.file("out");
    options.line_file = line;
    options.train_file = train;
    watcher = std::thread([this] {
      watch_descriptions(platform, options, stop, [this](const CheckedBuild& outcome) {
        std::lock_guard lock(mutex);
        outcomes.push_back(outcome);
        built.notify_all();
      }, {std::chrono::milliseconds(10), std::chrono::milliseconds(20)});
    });
    wait_for_builds(1);
  }
  void TearDown() override {
    stop.request();
    watcher.join();
  }
  // Saves the train text with `from` replaced by `to`, as editors do: a
  // new file renamed over the old one.
  void save_train(const std::string& from, const std::string& to) {
    std::string text = train_text;
    text.replace(text.find(from), from.size(), to);
    write_file_bytes(train + ".swp", text);
    std::filesystem::rename(train + ".swp", train);
  }
  CheckedBuild wait_for_builds(size_t count) {
    std::unique_lock lock(mutex);
    EXPECT_TRUE(built.wait_for(lock, std::chrono::seconds(10), [&] { return outcomes.size() >= count; }))
        << "no build " << count;
    return outcomes.empty() ? CheckedBuild{} : outcomes.back();
  }
  // The compiled files a build of the descriptions as they are now gives.
  std::map<std::string, std::string> reference_build() {
    FakePlatform reference;
    reference.files.files["/l.txt"] = read_file_bytes(line);
    reference.files.files["/t.txt"] = read_file_bytes(train);
    EXPECT_EQ(run_program(reference, std::vector<std::string>{"--dir", "/o", "--line", "/l.txt",
                                                              "--train", "/t.txt"}),
              kBuilt);
    std::map<std::string, std::string> files;
    for (const auto& [path, content] : reference.files.files) {
      if (path.starts_with("/o/")) files[path.substr(3)] = content;
    }
    return files;
  }
  std::map<std::string, std::string> folder() {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(*options.directory)) {
      files[entry.path().filename().string()] = read_file_bytes(entry.path().string());
    }
    return files;
  }

  TempDir dir;
  std::string line, train, train_text;
  Options options;
  DiskPlatform platform;
  StopRequest stop;
  std::thread watcher;
  std::mutex mutex;
  std::condition_variable built;
  std::vector<CheckedBuild> outcomes;
};

TEST_F(WatchOnDisk, EverySaveIsBuiltAndAMistakeKeepsTheLastGoodBuild) {
  EXPECT_TRUE(outcomes[0].built);
  save_train("stazione,   16350,", "stazione,   16850,");
  EXPECT_TRUE(wait_for_builds(2).built);
  const auto good = folder();
  EXPECT_EQ(good, reference_build());

  save_train("stazione,   16350,", "stazione,   16850x,");
  const CheckedBuild mistake = wait_for_builds(3);
  EXPECT_FALSE(mistake.built);
  ASSERT_FALSE(mistake.problems.empty());
  EXPECT_EQ(mistake.problems[0].file, train);
  EXPECT_EQ(mistake.problems[0].line, 47);
  EXPECT_EQ(folder(), good);
}

TEST_F(WatchOnDisk, ABurstOfSavesSettlesOnTheLast) {
  for (int position = 16400; position <= 17050; position += 50) {
    save_train("stazione,   16350,", "stazione,   " + std::to_string(position) + ",");
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::lock_guard lock(mutex);
  EXPECT_TRUE(outcomes.back().built);
  // Fewer builds than saves; the folder holds the last.
  EXPECT_LT(outcomes.size(), 14u);
  EXPECT_EQ(folder(), reference_build());
}

TEST_F(WatchOnDisk, AStopDuringAPublishLetsItFinish) {
  platform.files.stop = &stop;
  save_train("stazione,   16350,", "stazione,   16850,");
  watcher.join();
  watcher = std::thread([] {});
  EXPECT_TRUE(stop.requested());
  EXPECT_EQ(outcomes.size(), 2u);
  // All three files of the save, and nothing else: no working copy, no
  // temporary file.
  EXPECT_EQ(folder(), reference_build());
}

}  // namespace
}  // namespace sb::inspect
