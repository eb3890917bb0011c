#include "engine/FbStatus.h"

#include "engine/Database.h"

#include <iberror.h>

namespace engine::fb {

namespace {

ErrorCategory categoryOf(const QVector<long> &codes)
{
    for (long c : codes) {
        switch (c) {
        case isc_unique_key_violation:
        case isc_no_dup:
            return ErrorCategory::KeyViolation;
        case isc_no_priv:
        case 335545094: // no privilege for this operation (CREATE TABLE and the like)
        // A GRANT of a privilege the grantor holds without the grant option
        // (...781, on a column ...775 to ...778) or does not hold at all
        // (...782, on a column ...779, ...780); on a procedure or another
        // object ...908, on a DDL right ...907.
        case 336068775:
        case 336068776:
        case 336068777:
        case 336068778:
        case 336068779:
        case 336068780:
        case 336068781:
        case 336068782:
        case 336068907:
        case 336068908:
        case 336068854: // revoke of a privilege another user granted
            return ErrorCategory::NoPermission;
        case isc_lock_conflict:
        case isc_deadlock:
        case isc_update_conflict:
            return ErrorCategory::LockConflict;
        case isc_cancelled:
            return ErrorCategory::Cancelled;
        case isc_ddl_not_allowed_by_db_sql_dial:
            return ErrorCategory::DialectRefused;
        case isc_login:
        case isc_login_error: // what a server with its own user list says
            return ErrorCategory::Login;
        case isc_network_error:
        case isc_net_read_err:
        case isc_net_write_err:
        case isc_lost_db_connection:
        case isc_conn_lost:
        case isc_att_shutdown:
        case isc_shutdown:
            return ErrorCategory::ConnectionLost;
        default:
            break;
        }
    }
    return ErrorCategory::General;
}

// The gds codes of the vector, in order (arguments skipped).
QVector<long> codesOf(const ISC_STATUS *s)
{
    QVector<long> codes;
    const ISC_STATUS *p = s;
    while (*p != isc_arg_end) {
        const ISC_STATUS kind = *p++;
        switch (kind) {
        case isc_arg_gds:
            codes << long(*p++);
            break;
        case isc_arg_cstring:
            p += 2;
            break;
        default:
            ++p;
            break;
        }
    }
    return codes;
}

} // namespace

Error toError(const ISC_STATUS *status)
{
    QStringList lines;
    char buf[1024];
    const ISC_STATUS *p = status;
    while (fb_interpret(buf, sizeof buf, &p) > 0)
        lines << QString::fromUtf8(buf);
    const QVector<long> codes = codesOf(status);
    return Error(lines.join(QLatin1Char('\n')), categoryOf(codes), long(isc_sqlcode(status)), codes);
}

QStringList warningsOf(const ISC_STATUS *status)
{
    QStringList texts;
    if (!hasWarnings(status))
        return texts;
    char buf[1024];
    const ISC_STATUS *p = status;
    while (fb_interpret(buf, sizeof buf, &p) > 0)
        texts << QString::fromUtf8(buf);
    return texts;
}

void check(const ISC_STATUS *status, Database &db)
{
    check(status);
    if (hasWarnings(status))
        db.noteWarnings(warningsOf(status));
}

} // namespace engine::fb
