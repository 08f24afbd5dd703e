#include "library/account/UserProfileData.h"

#include <utility>

#include <QStringList>

UserProfileData::UserProfileData(QString user_, QString birthdate_, QString password_, QString email_, QString gender_,
                                 QString about_desc_, QString about_movies_, QString about_music_,
                                 QString about_magazines_, QString about_books_, QString about_games_,
                                 QString about_websites_, QString your_websites_, QString location_,
                                 QString relationship_status_)
    : user(std::move(user_))
    , birthdate(std::move(birthdate_))
    , password(std::move(password_))
    , email(std::move(email_))
    , gender(std::move(gender_))
    , about_desc(std::move(about_desc_))
    , about_movies(std::move(about_movies_))
    , about_music(std::move(about_music_))
    , about_magazines(std::move(about_magazines_))
    , about_books(std::move(about_books_))
    , about_games(std::move(about_games_))
    , about_websites(std::move(about_websites_))
    , your_websites(std::move(your_websites_))
    , location(std::move(location_))
    , relationship_status(std::move(relationship_status_))
{
}

QString UserProfileData::description() const
{
    // An unset field reads "(null)". Built piece by piece: a field holding "%1" stays as it is.
    const auto shown = [](const QString& text) { return text.isNull() ? QStringLiteral("(null)") : text; };
    const std::pair<const char*, const QString*> fields[] = {
        {"User", &user},
        {"Birthday", &birthdate},
        {"Gender", &gender},
        {"About_desc", &about_desc},
        {"About_movies", &about_movies},
        {"About_music", &about_music},
        {"About_magazines", &about_magazines},
        {"About_books", &about_books},
        {"About_games", &about_games},
        {"About_websites", &about_websites},
        {"YourWebsites", &your_websites},
        {"Location", &location},
        {"Relationship_status", &relationship_status},
        {"last_activity", &last_activity},
    };
    QStringList parts;
    for (const auto& [name, value] : fields)
        parts.append(QLatin1String(name) + QLatin1Char(':') + shown(*value));
    return QLatin1Char('{') + parts.join(QStringLiteral(", ")) + QLatin1Char('}');
}
