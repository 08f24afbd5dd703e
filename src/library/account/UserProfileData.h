#pragma once

#include <QString>

// A user's profile as the service's profile pages describe it: plain texts, none of them required. Nothing in
// the application fills one yet; it is kept for the profile editor's callers.
struct UserProfileData {
    UserProfileData() = default;
    // Every field but last_activity, longitude and latitude, which stay empty.
    UserProfileData(QString user, QString birthdate, QString password, QString email, QString gender,
                    QString about_desc, QString about_movies, QString about_music, QString about_magazines,
                    QString about_books, QString about_games, QString about_websites, QString your_websites,
                    QString location, QString relationship_status);

    // "{User:…, Birthday:…, …}": every field but the password, the e-mail and the two coordinates.
    QString description() const;

    QString user;
    QString birthdate;
    QString password;
    QString email;
    QString gender;
    QString about_desc;
    QString about_movies;
    QString about_music;
    QString about_magazines;
    QString about_books;
    QString about_games;
    QString about_websites;
    QString your_websites;
    QString last_activity;
    QString location;
    QString relationship_status;
    QString longitude;
    QString latitude;
};
