#include <signal.h>
#include <sys/wait.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/process.h"
#include "support/surfaces.h"
#include "support/xserver.h"

namespace
{

const char title[] = "flumo for SDL";

/* The picture the window should show: the background bitmap with the
   counter's glyphs copied over it where the strip is not black. */
std::vector<uint32_t> composed(const std::string &background, int count)
{
  SDL_Surface *bg =
      SDL_LoadBMP((std::string(FLUMO_ASSET_DIR "/") + background).c_str());
  SDL_Surface *digits = SDL_LoadBMP(FLUMO_ASSET_DIR "/flumo_num.bmp");
  std::vector<uint32_t> out;
  for (int y = 0; y < bg->h; y++)
    for (int x = 0; x < bg->w; x++) {
      uint32_t c = pixel(bg, x, y);
      int row = count == 20, dy = y - 112;
      int cell = x >= 60 && x < 89 ? count % 10 : -1, dx = x - 60;
      if (x >= 29 && x < 58 && count > 9)
        cell = count / 10, dx = x - 29;
      if (cell >= 0 && dy >= 0 && dy < 50) {
        uint32_t g = pixel(digits, 29 * cell + dx, 50 * row + dy);
        if (g != 0)
          c = g;
      }
      out.push_back(c);
    }
  SDL_FreeSurface(bg);
  SDL_FreeSurface(digits);
  return out;
}

class Window_ : public ::testing::Test
{
protected:
  XServer x;
  AssetDir dir{all_assets};
  pid_t pid = -1;
  Window win = 0;

  void SetUp() override { ASSERT_TRUE(x.ok()) << "no virtual X server (Xvfb)"; }
  void TearDown() override
  {
    if (pid > 0) {
      kill(pid, SIGKILL);
      wait_for(pid, 5000);
    }
  }
  void launch()
  {
    pid = start({FLUMO_BIN}, dir.path,
                {{"DISPLAY", x.name()}, {"SDL_AUDIODRIVER", "dummy"}},
                dir.file("stderr"));
    win = x.find_window(title, 10000);
    ASSERT_NE(win, 0u) << "no window; stderr: "
                       << read_file(dir.file("stderr"));
    ASSERT_TRUE(x.xdotool("windowfocus --sync " + std::to_string(win)));
  }
  /* Waits for the window to show this picture. */
  void expect_shows(const std::string &background, int count)
  {
    std::vector<uint32_t> want = composed(background, count), got;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
      got = x.screenshot(win);
      if (got == want)
        return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < until);
    size_t wrong = 0;
    for (size_t i = 0; i < want.size() && i < got.size(); i++)
      wrong += got[i] != want[i];
    ADD_FAILURE() << "window does not show " << background << " with " << count
                  << ": " << wrong << " of " << want.size() << " pixels differ";
  }
  void key(const char *action, const char *name)
  {
    ASSERT_TRUE(x.xdotool(std::string(action) + " " + name));
  }
  void tap(const char *name)
  {
    key("keydown", name);
    key("keyup", name);
  }
  int close_and_wait()
  {
    x.request_close(win);
    int status = wait_for(pid, 10000);
    pid = -1;
    return status;
  }
};

} // namespace

TEST_F(Window_, HasTheTitleTheIconAndTheSizeOfTheRestingPicture)
{
  launch();
  EXPECT_EQ(x.text_property(win, "WM_NAME"), title);
  EXPECT_EQ(x.text_property(win, "WM_ICON_NAME"), title);
  EXPECT_TRUE(x.has_icon_pixmap(win) || x.has_property(win, "_NET_WM_ICON"));

  SDL_Surface *normal = SDL_LoadBMP(FLUMO_ASSET_DIR "/flumo_normal.bmp");
  int w, h;
  x.size(win, &w, &h);
  EXPECT_EQ(w, normal->w);
  EXPECT_EQ(h, normal->h);
  SDL_FreeSurface(normal);
  expect_shows("flumo_normal.bmp", 0);

  int status = close_and_wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(read_file(dir.file("stderr")), "");
}

TEST_F(Window_, WithoutAnIconFileTheWindowStillOpens)
{
  unlink(dir.file("flumo_icon.bmp").c_str());
  launch();
  EXPECT_FALSE(x.has_icon_pixmap(win) || x.has_property(win, "_NET_WM_ICON"));
  expect_shows("flumo_normal.bmp", 0);
  int status = close_and_wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(Window_, KeysPressTheButtonAndMoveTheCounter)
{
  launch();
  expect_shows("flumo_normal.bmp", 0);
  key("keydown", "space");
  expect_shows("flumo_push.bmp", 1);
  key("keyup", "space");
  expect_shows("flumo_normal.bmp", 1);

  /* held past the X server's autorepeat delay: still one count */
  key("keydown", "space");
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  expect_shows("flumo_push.bmp", 2);
  key("keyup", "space");

  tap("a");
  expect_shows("flumo_normal.bmp", 2);
  for (int n = 3; n <= 19; n++)
    tap("space");
  expect_shows("flumo_normal.bmp", 19);
  key("keydown", "space");
  expect_shows("flumo_push.bmp", 20);
  key("keyup", "space");
  key("keydown", "space");
  expect_shows("flumo_push.bmp", 20);
  key("keyup", "space");
  expect_shows("flumo_normal.bmp", 20);

  key("keydown", "Escape");
  expect_shows("flumo_normal.bmp", 0);
  key("keyup", "Escape");
  tap("space");
  expect_shows("flumo_normal.bmp", 1);

  int status = close_and_wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
