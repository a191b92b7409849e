// The image controls of one form and the state they share: an instance leaves it when it
// ends or connects anew.

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

using namespace moirelle;
using namespace moirelle::control;
using forms::Hosted;
using forms::PropertyBag;

namespace {

// A control whose stored properties can be read again, as a host reloading it would.
class Rereadable : public aicAlphaImage {
  public:
    using aicAlphaImage::aicAlphaImage;
    void ReadAgain(PropertyBag& bag) { UserControl_ReadProperties(bag); }
};

bool Registered(const cCrossComm& shared, intptr_t identity) {
    const auto ids = shared.Registered();
    return std::find(ids.begin(), ids.end(), identity) != ids.end();
}

} // namespace

TEST(ControlSharing, AnInstanceThatEndsLeavesTheSharedState) {
    test::HostForm f;
    Hosted<aicAlphaImage> first{f, {0, 0, 1500, 1500}, PropertyBag{}};
    std::optional<Hosted<aicAlphaImage>> second;
    second.emplace(f, forms::Bounds{1500, 0, 1500, 1500}, PropertyBag{});
    f.Show();
    const std::shared_ptr<cCrossComm> shared = first.CrossTalkClass();
    ASSERT_EQ(second->CrossTalkClass(), shared);
    const intptr_t gone = second->Identity();
    ASSERT_TRUE(Registered(*shared, gone));
    second.reset();
    EXPECT_FALSE(Registered(*shared, gone));
    EXPECT_TRUE(Registered(*shared, first.Identity()));
}

TEST(ControlSharing, ConnectingAgainLeavesTheStateConnectedBefore) {
    test::HostForm f;
    Hosted<Rereadable> first{f, {0, 0, 1500, 1500}, PropertyBag{}};
    Hosted<aicAlphaImage> other{f, {1500, 0, 1500, 1500}, PropertyBag{}};
    f.Show();
    const std::shared_ptr<cCrossComm> before = first.CrossTalkClass();
    ASSERT_TRUE(Registered(*before, first.Identity()));
    PropertyBag bag;
    first.ReadAgain(bag);
    EXPECT_FALSE(Registered(*before, first.Identity())) << "the old state forgets it";
    EXPECT_TRUE(Registered(*before, other.Identity()));
    EXPECT_TRUE(Registered(*first.CrossTalkClass(), first.Identity()));
}
