#pragma once

#include <QString>

// Signs a user in on the service's own authorisation pages as a browser
// would and returns the login result JSON ({nickname, userid}) that the
// callback page hands to the program, or empty on failure.
QString signInOnService(const QString &baseUrl, const QString &name);
