#include <gtest/gtest.h>

#include "library/account/UserProfileData.h"

TEST(UserProfileData, TheDescriptionNamesTheProfileFieldsAndLeavesTheSecretsOut)
{
    const UserProfileData profile(QStringLiteral("ann"), QStringLiteral("1990-02-03"), QStringLiteral("pw%1"),
                                  QStringLiteral("ann@x.example"), QStringLiteral("f"), QStringLiteral("50% %2 off"),
                                  QStringLiteral("m"), QStringLiteral("mu"), QStringLiteral("ma"), QStringLiteral("b"),
                                  QStringLiteral("g"), QStringLiteral("w"), QStringLiteral("yw"),
                                  QStringLiteral("here"), QStringLiteral("single"));
    EXPECT_EQ(profile.password, QStringLiteral("pw%1"));
    EXPECT_EQ(profile.email, QStringLiteral("ann@x.example"));
    EXPECT_TRUE(profile.last_activity.isNull());
    EXPECT_TRUE(profile.longitude.isNull());
    EXPECT_TRUE(profile.latitude.isNull());
    EXPECT_EQ(profile.description(),
              QStringLiteral("{User:ann, Birthday:1990-02-03, Gender:f, About_desc:50% %2 off, About_movies:m, "
                             "About_music:mu, About_magazines:ma, About_books:b, About_games:g, About_websites:w, "
                             "YourWebsites:yw, Location:here, Relationship_status:single, last_activity:(null)}"));
}
