#pragma once
// The SMTP unit: the functions that belong to no single client (address parsing, the Date
// header's text, the keyed digest of CRAM-MD5) and the clients: TCustomSmtpClient
// (net/CustomSmtpClient.h), the protocol engine with the header block, and TSmtpCli
// (net/SmtpCli.h), which sends MailMessage with attached files; TSyncSmtpCli
// (net/SyncSmtpCli.h) with a blocking call for each request; THtmlSmtpCli (net/HtmlSmtpCli.h),
// the mail in plain text and HTML with inline images.

#include "platform/rtl/DateTime.h"

#include <string>

// Splits an address such as "Mario Rossi" <mario@example.it> into its display name and address.
// A text without an address part but with "@" is taken as the address.
void ParseEmail(const std::string& FromData, std::string& FriendlyName, std::string& Email);

// The Date header's text of a local date and time: "Thu, 5 Mar 2026 08:07:03 GMT", moved to
// universal time by the system's current time-zone bias.
std::string Rfc822DateTime(TDateTime DateTime);

// HMAC-MD5 (RFC 2104, 64-byte blocks) of Text keyed with Key: the 16 digest bytes.
std::string HmacMD5(const std::string& Key, const std::string& Text);

#include "net/CustomSmtpClient.h"
#include "net/SmtpCli.h"
#include "net/SyncSmtpCli.h"
#include "net/HtmlSmtpCli.h"
