#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "settings.h"
#include "support/process.h"
#include "support/surfaces.h"
#include "support/xserver.h"

/* The installed program: cmake --install into a folder of the test's own,
   then used as a person would. */

namespace
{

std::string install_into(const AssetDir &dir, const std::string &destdir = "")
{
  bool ok;
  std::string log =
      shell((destdir.empty() ? "" : "DESTDIR='" + destdir + "' ") +
                "cmake --install '" FLUMO_BUILD_DIR "' --prefix '" + dir.path +
                "/usr' 2>&1",
            &ok);
  EXPECT_TRUE(ok) << log;
  return log;
}

/* The Debian package cpack makes of a build, in folder out. cpack takes
   the modes of the package's own members from the umask, so it runs under
   Debian's 022, as dpkg-buildpackage does; without SOURCE_DATE_EPOCH,
   which dates the files by the last commit. */
std::string debian_package(const std::string &build, const std::string &out)
{
  bool ok;
  std::string log =
      shell("mkdir -p '" + out + "' && cd '" + out +
                "' && umask 022 && env -u SOURCE_DATE_EPOCH "
                "cpack --config '" +
                build + "/CPackConfig.cmake' -B '" + out + "' 2>&1",
            &ok);
  std::string deb = shell("ls '" + out + "'/*.deb 2>/dev/null");
  EXPECT_TRUE(ok && !deb.empty()) << log;
  return deb.empty() ? deb : deb.substr(0, deb.size() - 1);
}

} // namespace

TEST(Installed, LauncherStartsTheProgramFromAnyFolder)
{
  AssetDir dir({});
  std::string usr = dir.path + "/usr";
  /* typed in a folder that has nothing to do with it */
  std::vector<std::string> command = {usr + "/games/flumo"};
  if (installed_root()) {
    /* in the root the package went into, as the desktop starts it: its
       entry's command on a user's path (which root's lacks) */
    usr = std::string(installed_root()) + "/usr";
    command = {"/usr/sbin/chroot",
               installed_root(),
               "/usr/bin/env",
               "PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games",
               "/bin/sh",
               "-c",
               shell("sed -n 's/^Exec=//p' '" + usr +
                     "/share/applications/flumo.desktop'")};
  } else {
    install_into(dir);
  }
  XServer x;
  ASSERT_TRUE(x.ok());
  pid_t pid =
      start(command, "/", {{"DISPLAY", x.name()}, {"SDL_AUDIODRIVER", "dummy"}},
            dir.file("stderr"));
  Window win = x.find_window(caption, 10000);
  ASSERT_NE(win, 0u) << read_file(dir.file("stderr"));
  ASSERT_TRUE(x.xdotool("windowfocus --sync " + std::to_string(win) +
                        " keydown space"));

  std::string share = usr + "/share/games/flumo";
  bool shown = x.wait_for_picture(win, composed(share, push_bmp, 1)) == 0;
  EXPECT_TRUE(shown) << "the pressed button with 1";
  x.xdotool("keyup space");
  x.request_close(win);
  int status = wait_for(pid, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(read_file(dir.file("stderr")), "");
}

TEST(Installed, LauncherPassesTheExitStatusOn)
{
  AssetDir dir({});
  install_into(dir);
  unlink((dir.path + "/usr/share/games/flumo/" + clip_wav).c_str());
  pid_t pid =
      start({dir.path + "/usr/games/flumo"}, "/",
            {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}},
            dir.file("stderr"));
  int status = wait_for(pid, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == clip_failed_status)
      << status;
  EXPECT_EQ(read_file(dir.file("stderr"))
                .rfind("Couldn't load " + clip_wav + ": ", 0),
            0u);
}

TEST(Installed, DestdirStagesEverythingUnderIt)
{
  AssetDir dir({});
  install_into(dir, dir.path + "/stage");
  std::string root = dir.path + "/stage" + dir.path + "/usr";
  std::vector<std::string> files = {
      "/games/flumo",
      "/lib/games/flumo/flumo",
      "/share/applications/flumo.desktop",
      "/share/man/man6/flumo.6.gz",
      "/share/metainfo/flumo.metainfo.xml",
      "/share/doc/flumo/copyright",
      "/share/doc/flumo/changelog.gz",
      "/share/icons/hicolor/32x32/apps/flumo.png",
      "/share/icons/hicolor/128x128/apps/flumo.png"};
  for (const std::string &f : all_assets)
    files.push_back("/share/games/flumo/" + f);
  for (const std::string &f : files)
    EXPECT_EQ(access((root + f).c_str(), R_OK), 0) << f;
  EXPECT_NE(access((dir.path + "/usr").c_str(), F_OK), 0)
      << "wrote outside DESTDIR";
}

TEST(Installed, DesktopEntryMetainfoAndManualPageAreValid)
{
  bool ok;
  /* no errors, and the one warning expected: the project has no domain for
     a reverse-DNS id, so its id stays "flumo" (information is let be, as
     AppStream's versions differ in what they say) */
  std::string metainfo =
      shell("appstreamcli validate --no-net '" FLUMO_BUILD_DIR
            "/flumo.metainfo.xml' 2>&1");
  int tags = 0;
  for (const char *level : {"\nE: ", "\nW: "})
    for (size_t at = ("\n" + metainfo).find(level); at != std::string::npos;
         at = ("\n" + metainfo).find(level, at + 1))
      tags++;
  EXPECT_EQ(tags, 1) << metainfo;
  EXPECT_EQ(metainfo.rfind("W: flumo:", 0), 0u) << metainfo;
  EXPECT_NE(metainfo.find(": cid-desktopapp-is-not-rdns flumo\n"),
            std::string::npos)
      << metainfo;
  std::string out = shell("desktop-file-validate '" FLUMO_SOURCE_DIR
                          "/data/flumo.desktop' 2>&1",
                          &ok);
  EXPECT_TRUE(ok && out.empty()) << out;
  out = shell("MANWIDTH=80 man --warnings -l '" FLUMO_SOURCE_DIR
              "/data/flumo.6' 2>&1 >/dev/null",
              &ok);
  EXPECT_TRUE(ok && out.empty()) << out;
  out = shell("MANWIDTH=80 man -l '" FLUMO_SOURCE_DIR
              "/data/flumo.6' 2>/dev/null");
  for (const char *part :
       {"NAME", "KEYS", "FILES", "DIAGNOSTICS", digits_bmp.c_str(), "Escape"})
    EXPECT_NE(out.find(part), std::string::npos) << part;
}

/* The package this build makes, or the one FLUMO_DEB names, made for the
   architecture of the root it went into (tools/test-packages.sh). */
TEST(Installed, DebianPackageHoldsTheFilesAndNamesItsLibraries)
{
  AssetDir dir({});
  bool ok;
  const char *given = getenv("FLUMO_DEB");
  std::string deb = given ? given : debian_package(FLUMO_BUILD_DIR, dir.path);
  ASSERT_FALSE(deb.empty());
  std::string arch = installed_root()
                         ? "chroot '" + std::string(installed_root()) +
                               "' dpkg --print-architecture"
                         : "dpkg --print-architecture";
  EXPECT_EQ(shell("dpkg-deb -f '" + deb + "' Architecture"), shell(arch));
  std::string files = shell("dpkg-deb -c '" + deb + "'");
  std::vector<std::string> packed = {
      "./usr/games/flumo",
      "./usr/lib/games/flumo/flumo",
      "./usr/share/applications/flumo.desktop",
      "./usr/share/metainfo/flumo.metainfo.xml",
      "./usr/share/man/man6/flumo.6.gz",
      "./usr/share/doc/flumo/copyright",
      "./usr/share/icons/hicolor/64x64/apps/flumo.png"};
  for (const std::string &f : all_assets)
    packed.push_back("./usr/share/games/flumo/" + f);
  for (const std::string &f : packed)
    EXPECT_NE(files.find(f), std::string::npos) << f << " in\n" << files;
  /* Debian's own check: nothing above information, which is named. A
     lintian that runs appstreamcli on the metadata reports its one
     warning, the id that is no domain name (checked on its own below). */
  /* (lintian leaves a file in TMPDIR) */
  std::string tags = shell("TMPDIR='" + dir.path +
                               "' lintian --info --pedantic '" + deb + "' 2>&1",
                           &ok);
  std::string judged = "\n" + tags;
  std::string expected = "\nW: flumo: appstream-metadata-validation-failed";
  if (judged.find(expected) != std::string::npos)
    judged.erase(judged.find(expected), expected.size());
  for (const char *level : {"\nE: ", "\nW: ", "\nP: "})
    EXPECT_EQ(judged.find(level), std::string::npos) << tags;
  std::cout << "lintian:\n" << tags;
  std::string depends = shell("dpkg-deb -f '" + deb + "' Depends");
  EXPECT_NE(depends.find("libsdl1.2debian"), std::string::npos) << depends;
  EXPECT_NE(depends.find("libc6"), std::string::npos) << depends;
  EXPECT_EQ(shell("dpkg-deb -f '" + deb + "' Package"), "flumo\n");
}

TEST(Installed, PackagersBuildElsewhereGivesTheSameBytes)
{
  /* as a distribution builds: tests off, in another folder, with another
     umask, packed later */
  AssetDir dir({});
  bool ok;
  std::string log = shell("cd '" + dir.path +
                              "' && umask 077 && cmake -S '" FLUMO_SOURCE_DIR
                              "' -B packager -DBUILD_TESTING=OFF >/dev/null "
                              "&& cmake --build packager -j 2 2>&1",
                          &ok);
  ASSERT_TRUE(ok) << log;
  std::string ours = debian_package(FLUMO_BUILD_DIR, dir.path + "/ours");
  std::string theirs =
      debian_package(dir.path + "/packager", dir.path + "/theirs");
  std::string diff = shell(FLUMO_SOURCE_DIR "/tools/same-bytes.sh '" + ours +
                               "' '" + theirs + "' 2>&1",
                           &ok);
  EXPECT_TRUE(ok) << diff;
}
