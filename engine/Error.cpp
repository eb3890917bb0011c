#include "engine/Error.h"

namespace engine {

Error::Error(QString message, ErrorCategory category, long sqlCode, QVector<long> statusCodes)
    : m_message(std::move(message)), m_category(category), m_sqlCode(sqlCode),
      m_codes(std::move(statusCodes)), m_utf8(m_message.toStdString())
{
}

} // namespace engine
