#include <cmath>
#include <cstring>
#include <numbers>

#include <gtest/gtest.h>

#include "gestures/LeapCircleGesture.h"
#include "gestures/LeapConfig.h"
#include "gestures/LeapFinger.h"
#include "gestures/LeapFrame.h"
#include "gestures/LeapGesture.h"
#include "gestures/LeapHand.h"
#include "gestures/LeapInteractionBox.h"
#include "gestures/LeapKeyTapGesture.h"
#include "gestures/LeapMatrix.h"
#include "gestures/LeapPointable.h"
#include "gestures/LeapPointableOrHandList.h"
#include "gestures/LeapScreen.h"
#include "gestures/LeapScreenList.h"
#include "gestures/LeapScreenTapGesture.h"
#include "gestures/LeapSwipeGesture.h"
#include "gestures/LeapTool.h"
#include "gestures/LeapVector.h"
#include "platform/leap/Leap.h"
#include "support/QtPrinters.h"

void PrintTo(const LeapVector& v, std::ostream* os)
{
    *os << v.description().toStdString();
}

namespace {

std::vector<float> floats(const QByteArray& bytes)
{
    std::vector<float> values(std::size_t(bytes.size()) / sizeof(float));
    std::memcpy(values.data(), bytes.constData(), values.size() * sizeof(float));
    return values;
}

// Two hands; a finger on hand 1, a tool on no hand, a finger on hand 5, which the frame does not hold.
Leap::FrameData twoHandsThreePointables()
{
    Leap::FrameData data;
    data.id = 3;
    data.hands.push_back({.id = 1, .palmPosition = {-50, 200, 10}});
    data.hands.push_back({.id = 2, .palmPosition = {60, 210, -5}});
    data.pointables.push_back({.id = 10, .handId = 1, .tipPosition = {-40, 230, -30}});
    data.pointables.push_back({.id = 11, .handId = -1, .isTool = true, .tipPosition = {20, 240, -60}});
    data.pointables.push_back({.id = 12, .handId = 5, .tipPosition = {-40, 220, 0}});
    return data;
}

} // namespace

TEST(LeapWrapper, VectorArithmeticInSinglePrecision)
{
    const LeapVector v(3, 4, 0);
    EXPECT_FLOAT_EQ(v.magnitude(), 5);
    EXPECT_FLOAT_EQ(v.magnitudeSquared(), 25);
    EXPECT_FLOAT_EQ(v.pitch(), std::numbers::pi_v<float> / 2);
    EXPECT_EQ(v.toNSArray(), (QVariantList{3.0f, 4.0f, 0.0f}));
    EXPECT_EQ(floats(v.toFloatPointer()), (std::vector<float>{3, 4, 0, 0}));
    EXPECT_EQ(v.description(), "(3.000000, 4.000000, 0.000000)");

    EXPECT_EQ(v.angleTo(LeapVector::zero()), 0);
    EXPECT_EQ(LeapVector::zero().normalized(), LeapVector::zero());
    EXPECT_FLOAT_EQ(v.normalized().magnitude(), 1);
    EXPECT_FLOAT_EQ(LeapVector::xAxis().angleTo(LeapVector::up()), std::numbers::pi_v<float> / 2);
    // Rounding must not push parallel vectors outside acos's domain.
    const LeapVector odd(0.026f, 0.7f, 0.3f); // its cosine with 3 × itself rounds to 1.00000012
    EXPECT_FALSE(std::isnan(odd.angleTo(odd.times(3))));

    EXPECT_EQ(LeapVector::xAxis().cross(LeapVector::yAxis()), LeapVector::zAxis());
    EXPECT_FLOAT_EQ(v.dot(LeapVector(1, 1, 1)), 7);
    EXPECT_EQ(v.plus(v).minus(v).negate().times(2).divide(4), LeapVector(-1.5f, -2, 0));
    EXPECT_FLOAT_EQ(v.distanceTo(LeapVector::zero()), 5);
    EXPECT_EQ(LeapVector::forward(), LeapVector(0, 0, -1));
    EXPECT_EQ(LeapVector::left(), LeapVector::right().negate());
}

TEST(LeapWrapper, MatrixComposesInvertsAndFlattens)
{
    const LeapMatrix turn(LeapVector::zAxis(), std::numbers::pi_v<float> / 2, LeapVector(1, 2, 3));
    const LeapVector p = turn.transformPoint(LeapVector(1, 0, 0));
    EXPECT_NEAR(p.x(), 1, 1e-6);
    EXPECT_NEAR(p.y(), 3, 1e-6);
    const LeapVector back = turn.rigidInverse().transformPoint(p);
    EXPECT_NEAR(back.x(), 1, 1e-6);
    EXPECT_NEAR(back.y(), 0, 1e-6);
    EXPECT_NEAR(back.z(), 0, 1e-6);

    // times() applies its argument first: translate by (1, 0, 0), then turn.
    const LeapMatrix shift(LeapVector::xAxis(), LeapVector::yAxis(), LeapVector::zAxis(), LeapVector(1, 0, 0));
    const LeapMatrix plainTurn(LeapVector::zAxis(), std::numbers::pi_v<float> / 2);
    EXPECT_NEAR(plainTurn.times(shift).transformPoint(LeapVector::zero()).y(), 1, 1e-6);

    EXPECT_TRUE(turn.equals(plainTurn)) << "the origin is not compared";
    EXPECT_FALSE(turn.equals(LeapMatrix::identity()));

    const LeapMatrix m(LeapVector(1, 2, 3), LeapVector(4, 5, 6), LeapVector(7, 8, 9), LeapVector(10, 11, 12));
    EXPECT_EQ(m.toNSArray3x3(), (QVariantList{1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f}));
    EXPECT_EQ(floats(m.toFloatPointer4x4()), (std::vector<float>{1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 1}));
    EXPECT_EQ(floats(m.toFloatPointer3x3()), (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));
    EXPECT_EQ(m.description(), "xBasis:(1.000000, 2.000000, 3.000000) yBasis:(4.000000, 5.000000, 6.000000) "
                               "zBasis:(7.000000, 8.000000, 9.000000) origin:(10.000000, 11.000000, 12.000000)");
}

TEST(LeapWrapper, FrameAttachesPointablesToTheirHandsByTheHandRule)
{
    std::shared_ptr<LeapPointable> keptPointable;
    std::shared_ptr<LeapHand> invalidHand;
    {
        const auto frame = LeapFrame::create(Leap::Frame::fromData(twoHandsThreePointables()));
        ASSERT_EQ(frame->hands().size(), 2u);
        ASSERT_EQ(frame->pointables().size(), 3u);
        const auto& pointables = frame->pointables();

        EXPECT_EQ(pointables[0]->hand(), frame->hands()[0]); // the matching hand, the frame's own wrapper
        ASSERT_TRUE(pointables[1]->hand());
        EXPECT_FALSE(pointables[1]->hand()->isValid()); // no hand in the library: the invalid hand
        EXPECT_EQ(pointables[1]->hand()->description(), "Invalid Hand");
        EXPECT_EQ(pointables[2]->hand(), nullptr); // a hand the frame does not hold: none

        EXPECT_TRUE(std::dynamic_pointer_cast<LeapFinger>(pointables[0]));
        EXPECT_TRUE(std::dynamic_pointer_cast<LeapTool>(pointables[1]));
        EXPECT_EQ(pointables[1]->description(), "Tool Id:11");
        ASSERT_EQ(frame->fingers().size(), 2u);
        ASSERT_EQ(frame->tools().size(), 1u);
        EXPECT_NE(frame->fingers()[0], pointables[0]) << "fingers are wrappers of their own";
        EXPECT_EQ(frame->fingers()[0]->hand(), frame->hands()[0]);
        EXPECT_EQ(frame->tools()[0]->hand()->isValid(), false);
        EXPECT_EQ(frame->hands()[0]->frame(), frame);
        EXPECT_EQ(frame->hands()[0]->pointables().front()->hand(), frame->hands()[0]);

        keptPointable = pointables[0];
        invalidHand = pointables[1]->hand();
    }
    // The frame owns its hands and the pointables refer back weakly: nothing keeps a cycle alive.
    EXPECT_EQ(keptPointable->frame(), nullptr);
    EXPECT_EQ(keptPointable->hand(), nullptr);
    EXPECT_EQ(keptPointable->id(), 10);
    EXPECT_FALSE(invalidHand->isValid());
}

TEST(LeapWrapper, FrameQueriesAnswerTheInvalidObjectOfTheirClass)
{
    const auto frame = LeapFrame::create(Leap::Frame::fromData(twoHandsThreePointables()));
    EXPECT_EQ(frame->description(), "Frame Id:3");
    EXPECT_EQ(frame->hand(2)->description(), "Hand Id:2");
    EXPECT_EQ(frame->hand(7)->description(), "Invalid Hand");
    EXPECT_EQ(frame->pointable(11), frame->pointables()[1]);
    EXPECT_EQ(frame->pointable(99)->description(), "Invalid Pointable");
    EXPECT_EQ(frame->finger(12)->description(), "Finger Id:12");
    EXPECT_EQ(frame->finger(11)->description(), "Invalid Finger");
    EXPECT_EQ(frame->tool(10)->description(), "Invalid Tool");
    EXPECT_FALSE(frame->gesture(5)->isValid());
    EXPECT_FALSE(LeapFrame::invalid()->isValid());
    EXPECT_TRUE(LeapFrame::invalid()->hands().empty());
    EXPECT_EQ(frame->hands()[0]->pointable(10)->id(), 10);
    EXPECT_EQ(frame->hands()[0]->finger(11)->description(), "Invalid Finger");
}

TEST(LeapWrapper, GesturesAreTypedByTheLibrarysNumbers)
{
    Leap::FrameData data = twoHandsThreePointables();
    data.gestures.push_back({.id = 1,
                             .type = 1,
                             .state = 1,
                             .handIds = {1},
                             .pointableIds = {10, 11},
                             .direction = {-0.95f, 0.3f, 0},
                             .speed = 800});
    data.gestures.push_back(
        {.id = 2, .type = 4, .state = 2, .pointableIds = {12}, .progress = 1.5f, .normal = {0, 0, 1}});
    data.gestures.push_back({.id = 3, .type = 5, .state = 3});
    data.gestures.push_back({.id = 4, .type = 6, .state = 3});
    data.gestures.push_back({.id = 5, .type = 9, .state = 1});
    const auto frame = LeapFrame::create(Leap::Frame::fromData(data));
    const auto gestures = frame->gestures(nullptr);
    ASSERT_EQ(gestures.size(), 5u);

    const auto swipe = std::dynamic_pointer_cast<LeapSwipeGesture>(gestures[0]);
    ASSERT_TRUE(swipe);
    EXPECT_EQ(swipe->type(), LeapGestureType::Swipe);
    EXPECT_EQ(swipe->state(), LeapGestureState::Start);
    EXPECT_EQ(swipe->direction(), LeapVector(-0.95f, 0.3f, 0));
    EXPECT_EQ(swipe->frame(), frame);
    // The gesture's own hands, and its pointables attached to them by the hand rule.
    ASSERT_EQ(swipe->hands().size(), 1u);
    ASSERT_EQ(swipe->pointables().size(), 2u);
    EXPECT_EQ(swipe->pointables()[0]->hand(), swipe->hands()[0]);
    EXPECT_FALSE(swipe->pointables()[1]->hand()->isValid());
    // The performing pointable comes without a hand.
    EXPECT_EQ(swipe->pointable()->id(), 10);
    EXPECT_TRUE(std::dynamic_pointer_cast<LeapFinger>(swipe->pointable()));
    EXPECT_EQ(swipe->pointable()->hand(), nullptr);

    const auto circle = std::dynamic_pointer_cast<LeapCircleGesture>(gestures[1]);
    ASSERT_TRUE(circle);
    EXPECT_FLOAT_EQ(circle->progress(), 1.5f);
    EXPECT_EQ(circle->normal(), LeapVector(0, 0, 1));
    EXPECT_EQ(circle->pointables()[0]->hand(), nullptr);
    EXPECT_TRUE(std::dynamic_pointer_cast<LeapScreenTapGesture>(gestures[2]));
    EXPECT_TRUE(std::dynamic_pointer_cast<LeapKeyTapGesture>(gestures[3]));
    const LeapGesture& plain = *gestures[4];
    EXPECT_EQ(typeid(plain), typeid(LeapGesture));
    EXPECT_EQ(int(gestures[4]->type()), 9);
    EXPECT_TRUE(gestures[0]->equals(*frame->gesture(1)));
    EXPECT_FALSE(LeapGesture::invalid()->isValid());
    EXPECT_EQ(LeapGesture::invalid()->state(), LeapGestureState::Invalid);
}

TEST(LeapWrapper, ListHelpersPickByPositionWithTheEarlierWinningTies)
{
    using namespace LeapPointableOrHandList;
    const auto frame = LeapFrame::create(Leap::Frame::fromData(twoHandsThreePointables()));
    const auto& pointables = frame->pointables();
    EXPECT_EQ(leftmost(pointables), pointables[0]) << "x -40 twice: the first";
    EXPECT_EQ(rightmost(pointables), pointables[1]);
    EXPECT_EQ(frontmost(pointables), pointables[1]);
    EXPECT_EQ(leftmost(frame->hands()), frame->hands()[0]) << "hands by palm position";
    EXPECT_EQ(frontmost(frame->hands()), frame->hands()[1]);
    EXPECT_EQ(rightmost(frame->fingers()), frame->fingers()[0]);
    EXPECT_EQ(leftmost(std::vector<std::shared_ptr<LeapPointable>>{}), nullptr);

    // A ray that meets two screens picks the nearer along it, whatever their order; a point picks the screen
    // whose clamped projection is nearest.
    auto screen = [](int id, Leap::Vector corner) {
        return std::make_shared<LeapScreen>(
            Leap::Screen(std::make_shared<Leap::ScreenData>(Leap::ScreenData{.id = id, .bottomLeftCorner = corner})));
    };
    const auto nearScreen = screen(1, {-265, 60, -200});
    const auto farScreen = screen(2, {-265, 60, -400});
    const LeapVector from(0, 200, 100);
    EXPECT_EQ(LeapScreenList::closestScreenHit({farScreen, nearScreen}, from, LeapVector::forward()), nearScreen);
    EXPECT_EQ(LeapScreenList::closestScreenHit({nearScreen, farScreen}, pointables[1]), nearScreen);
    EXPECT_FALSE(LeapScreenList::closestScreenHit({}, from, LeapVector::forward())->isValid());
    EXPECT_FALSE(LeapScreenList::closestScreenHit({nearScreen}, from, LeapVector::backward())->isValid())
        << "a ray that meets no screen";
    const auto leftScreen = screen(3, {-530, 60, -200});
    const auto rightScreen = screen(4, {0, 60, -200});
    EXPECT_EQ(LeapScreenList::closestScreen({rightScreen, leftScreen}, LeapVector(-300, 200, 0)), leftScreen);
}

TEST(LeapWrapper, InteractionBoxNormalisesWithAndWithoutClamping)
{
    Leap::FrameData data;
    data.interactionBox = {.center = {0, 200, 0}, .width = 200, .height = 200, .depth = 200};
    const auto box = LeapFrame::create(Leap::Frame::fromData(data))->interactionBox();
    EXPECT_EQ(box->normalizePoint(LeapVector(100, 300, 100), true), LeapVector(1, 1, 1));
    const LeapVector outside(500, -400, 90);
    const LeapVector clamped = box->normalizePoint(outside, true);
    for (float c : {clamped.x(), clamped.y(), clamped.z()}) {
        EXPECT_GE(c, 0);
        EXPECT_LE(c, 1);
    }
    const LeapVector unclamped = box->normalizePoint(outside, false);
    EXPECT_FLOAT_EQ(unclamped.x(), 3);
    EXPECT_FLOAT_EQ(unclamped.y(), -2.5f);
    EXPECT_FLOAT_EQ(unclamped.z(), 0.95f);
    EXPECT_EQ(box->denormalizePoint(LeapVector(0.5f, 0.5f, 0.5f)), LeapVector(0, 200, 0));
    EXPECT_FALSE(LeapInteractionBox::invalid()->isValid());
}

TEST(LeapWrapper, ConfigMapsValueTypesAndPassesKeysAsUtf8)
{
    LeapConfig config{Leap::Config()};
    EXPECT_TRUE(config.setString(QStringLiteral("Größe"), QStringLiteral("groß")));
    EXPECT_EQ(config.getString(QStringLiteral("Größe")), QStringLiteral("groß"));
    EXPECT_EQ(config.type(QStringLiteral("Größe")), LeapValueType::String);
    EXPECT_TRUE(config.setInt32("count", -4));
    EXPECT_EQ(config.type("count"), LeapValueType::Int32);
    EXPECT_EQ(config.type("missing"), LeapValueType::Unknown);
    EXPECT_EQ(LeapConfig::convertFromLeapValueType(3), LeapValueType::Unknown);
    EXPECT_EQ(LeapConfig::convertFromLeapValueType(9), LeapValueType::Unknown);
    EXPECT_EQ(LeapConfig::convertFromLeapValueType(6), LeapValueType::Float);
    EXPECT_FALSE(config.save()) << "nothing to save to";
}
