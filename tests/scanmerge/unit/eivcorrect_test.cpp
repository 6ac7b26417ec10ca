#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "correct/corrections.h"
#include "dialogue/dialogue.h"
#include "tests/helpers.h"

namespace {

const std::string prompt =
    "To apply EIV correction, enter : h(mm) L(mm) osc(deg). "
    "Otherwise, blank.\n";
const std::string need3 = "Look, I need 3 numbers.\n";
const std::string needgeom = "Look, I need h and osc not 0, and h no larger than L.\n";

// A grid of imax points from tthmin (deg), every point cts = mon = value.
std::unique_ptr<MergedPattern> flat(double tthmin, double tthstep, int imax, float value) {
  auto p = grid(tthmin, tthstep, imax);
  for (int k = 0; k <= imax; ++k) p->inten[k] = p->sigma[k] = value;
  return p;
}

// The prompt's exchange as the console shows it, ended by what the run
// says where it stops; status: the run's exit status there.
bool run(MergedPattern& p, const std::string& answers, std::string& console,
         int* status = nullptr) {
  std::istringstream in(answers);
  std::ostringstream con;
  Stop stop;
  bool ok = eivcorrect(p, in, con, stop);
  console = con.str() + (ok ? "" : stop.text);
  if (status) *status = stop.status;
  return ok;
}

}  // namespace

// h = 1, L = 20: thetac = asin(0.05) = 2.86598 deg.
TEST(EivCorrect, DividesByIlluminatedFraction) {
  std::string con;
  // 2theta = 40: whole range above thetac, F = 1
  auto p = flat(40.0, 0.02, 1, 1000.0f);
  EXPECT_TRUE(run(*p, "1 20 2\n", con));
  EXPECT_EQ(con, prompt);
  EXPECT_NEAR(p->inten[0], 1000.0f, 1e-3);
  EXPECT_NEAR(p->sigma[0], 1000.0f, 1e-3);

  // 2theta = 1: clipped to 0..1 deg, below thetac;
  // F = (20 / 0.0349066) * (1 - cos 1 deg) = 0.0872642
  p = flat(1.0, 0.02, 1, 1.0f);
  EXPECT_TRUE(run(*p, "1 20 2\n", con));
  EXPECT_NEAR(p->inten[0], 11.45945f, 1e-4);
  EXPECT_NEAR(p->sigma[0], 11.45945f, 1e-4);
  EXPECT_EQ(p->inten[1], 1.0f);  // index imax is not touched

  // 2theta = 6: range 2..4 deg holds thetac;
  // F = 572.958 * (cos 2 deg - cos thetac) + 28.6479 * (4 deg - thetac)
  //   = 0.934623
  p = flat(6.0, 0.02, 1, 1000.0f);
  EXPECT_TRUE(run(*p, "1 20 2\n", con));
  EXPECT_NEAR(p->inten[0], 1069.950f, 1e-2);

  // osc = -4 at 2theta = 5.8: lo = 4.9 deg above thetac and hi = 0.9 deg
  // below it; the range-above form wins, F = 1 (the other form gives 1.0117)
  p = flat(5.8, 0.02, 1, 1000.0f);
  EXPECT_TRUE(run(*p, "1 20 -4\n", con));
  EXPECT_NEAR(p->inten[0], 1000.0f, 1e-2);

  // 2theta = 0: the range is empty, F = 0, the point stays as it is
  p = flat(0.0, 0.02, 1, 7.0f);
  EXPECT_TRUE(run(*p, "1 20 2\n", con));
  EXPECT_EQ(p->inten[0], 7.0f);
  EXPECT_EQ(p->sigma[0], 7.0f);
}

TEST(EivCorrect, RangeError) {
  std::string con;
  // negative 2theta: clipped, hi = 2theta below 0
  auto p = flat(-1.0, 0.02, 1, 5.0f);
  int status = 0;
  EXPECT_FALSE(run(*p, "1 20 2\n", con, &status));
  EXPECT_EQ(status, -1);
  EXPECT_EQ(con, prompt + "Range Error!\n");
  EXPECT_EQ(p->inten[0], 5.0f);

  // h = 10, L = 20 (thetac = 30 deg), osc = -4. Point 0 at 2theta = 20:
  // lo = 12, hi = 8 deg, F = (20 / (10 * -0.0698132)) * (cos 12 - cos 8)
  // = 0.347226. Point 1 at 2theta = 2: hi = 1 - 2 deg below 0.
  p = flat(20.0, -18.0, 2, 100.0f);
  EXPECT_FALSE(run(*p, "10 20 -4\n", con));
  EXPECT_EQ(con, prompt + "Range Error!\n");
  EXPECT_NEAR(p->inten[0], 287.9970f, 1e-3);  // already divided, stays so
  EXPECT_NEAR(p->sigma[0], 287.9970f, 1e-3);
  EXPECT_EQ(p->inten[1], 100.0f);
}

TEST(EivCorrect, AnswersThatAskAgain) {
  std::string con;
  auto p = flat(1.0, 0.02, 1, 1.0f);
  // too few numbers, then parameters that give no finite fraction
  struct Case {
    const char* answer;
    const std::string& reply;
  };
  const Case cases[] = {{"1 20", need3},        {"   ", need3},        {"1 20 0", needgeom},
                        {"0 20 2", needgeom},   {"21 20 2", needgeom}, {"1 0 2", needgeom},
                        {"inf 20 2", needgeom}, {"1 nan 2", needgeom}, {"1 20 inf", needgeom}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    EXPECT_TRUE(run(*p, std::string(c.answer) + "\n\n", con));
    EXPECT_EQ(con, prompt + c.reply + prompt);
    EXPECT_EQ(p->inten[0], 1.0f);
  }

  // after a refusal the next good answer is applied, once
  EXPECT_TRUE(run(*p, "1 20\n1 20 2\n1 20 2\n", con));
  EXPECT_EQ(con, prompt + need3 + prompt);
  EXPECT_NEAR(p->inten[0], 11.45945f, 1e-4);
}

TEST(EivCorrect, NoCorrection) {
  std::string con;
  auto p = flat(1.0, 0.02, 3, 2.0f);
  for (const char* answers : {"\n", "", "\r\n1 20 2\n"}) {
    EXPECT_TRUE(run(*p, answers, con));
    EXPECT_EQ(con, prompt);
  }
  // imax 0: three numbers are accepted and nothing is touched
  auto empty = flat(1.0, 0.02, 0, 2.0f);
  EXPECT_TRUE(run(*empty, "1 20 2\n", con));
  EXPECT_EQ(con, prompt);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(p->inten[k], 2.0f);
    EXPECT_EQ(p->sigma[k], 2.0f);
  }
  EXPECT_EQ(empty->inten[0], 2.0f);
}
