#include "engine/SampleDatabase.h"

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/RuntimeDatabases.h"
#include "engine/Statement.h"

#include <QFile>

namespace engine {

QStringList sampleSchema()
{
    return {
        QStringLiteral("CREATE DOMAIN DNAME AS VARCHAR(40) NOT NULL"),
        QStringLiteral("CREATE DOMAIN DMONEY AS NUMERIC(15,2) DEFAULT 0"),
        QStringLiteral("CREATE GENERATOR GEN_CUSTOMER"),
        QStringLiteral("CREATE GENERATOR GEN_ORDER"),
        QStringLiteral("CREATE EXCEPTION E_NO_STOCK \"Not enough stock for the order\""),
        QStringLiteral("CREATE TABLE CUSTOMER (CUST_NO INTEGER NOT NULL PRIMARY KEY, NAME DNAME, "
                       "CITY VARCHAR(30), PHONE CHAR(16), NOTES BLOB SUB_TYPE 1)"),
        QStringLiteral("CREATE TABLE PRODUCT (PROD_NO INTEGER NOT NULL PRIMARY KEY, TITLE DNAME, "
                       "PRICE DMONEY, STOCK INTEGER DEFAULT 0, PICTURE BLOB SUB_TYPE 0)"),
        QStringLiteral("CREATE TABLE ORDERS (ORDER_NO INTEGER NOT NULL PRIMARY KEY, "
                       "CUST_NO INTEGER NOT NULL REFERENCES CUSTOMER (CUST_NO), "
                       "PROD_NO INTEGER NOT NULL REFERENCES PRODUCT (PROD_NO), "
                       "QTY INTEGER NOT NULL CHECK (QTY > 0), ORDERED DATE DEFAULT \"NOW\", TOTAL DMONEY)"),
        QStringLiteral("CREATE INDEX ORDERS_ORDERED ON ORDERS (ORDERED)"),
        QStringLiteral("CREATE VIEW CUSTOMER_ORDERS (NAME, ORDER_NO, TITLE, QTY, TOTAL) AS "
                       "SELECT C.NAME, O.ORDER_NO, P.TITLE, O.QTY, O.TOTAL FROM ORDERS O "
                       "JOIN CUSTOMER C ON C.CUST_NO = O.CUST_NO JOIN PRODUCT P ON P.PROD_NO = O.PROD_NO"),
        QStringLiteral("CREATE TRIGGER ORDERS_BI FOR ORDERS ACTIVE BEFORE INSERT POSITION 0 AS\n"
                       "BEGIN\n"
                       "  IF (NEW.ORDER_NO IS NULL) THEN NEW.ORDER_NO = GEN_ID(GEN_ORDER, 1);\n"
                       "END"),
        QStringLiteral("CREATE PROCEDURE CUSTOMER_TOTALS\n"
                       "RETURNS (NAME VARCHAR(40), ORDERS INTEGER, AMOUNT NUMERIC(15,2))\n"
                       "AS\n"
                       "BEGIN\n"
                       "  FOR SELECT C.NAME, COUNT(O.ORDER_NO), SUM(O.TOTAL) FROM CUSTOMER C\n"
                       "      LEFT JOIN ORDERS O ON O.CUST_NO = C.CUST_NO GROUP BY C.NAME\n"
                       "      INTO :NAME, :ORDERS, :AMOUNT\n"
                       "  DO SUSPEND;\n"
                       "END"),
        QStringLiteral("CREATE PROCEDURE PLACE_ORDER (CUST_NO INTEGER, PROD_NO INTEGER, QTY INTEGER)\n"
                       "RETURNS (ORDER_NO INTEGER)\n"
                       "AS\n"
                       "DECLARE VARIABLE STOCK INTEGER;\n"
                       "DECLARE VARIABLE PRICE NUMERIC(15,2);\n"
                       "BEGIN\n"
                       "  SELECT STOCK, PRICE FROM PRODUCT WHERE PROD_NO = :PROD_NO INTO :STOCK, :PRICE;\n"
                       "  IF (STOCK < QTY) THEN EXCEPTION E_NO_STOCK;\n"
                       "  ORDER_NO = GEN_ID(GEN_ORDER, 1);\n"
                       "  INSERT INTO ORDERS (ORDER_NO, CUST_NO, PROD_NO, QTY, TOTAL)\n"
                       "    VALUES (:ORDER_NO, :CUST_NO, :PROD_NO, :QTY, :QTY * :PRICE);\n"
                       "  UPDATE PRODUCT SET STOCK = STOCK - :QTY WHERE PROD_NO = :PROD_NO;\n"
                       "END"),
        QStringLiteral("INSERT INTO CUSTOMER VALUES (1, \"Harbour Supplies\", \"Portsmouth\", \"023 9200 1000\", "
                       "\"Orders by phone on Mondays.\")"),
        QStringLiteral("INSERT INTO CUSTOMER VALUES (2, \"Northfield Farm\", \"York\", \"01904 555 210\", NULL)"),
        QStringLiteral("INSERT INTO CUSTOMER VALUES (3, \"Lindqvist & Sons\", \"Hull\", NULL, NULL)"),
        QStringLiteral("SET GENERATOR GEN_CUSTOMER TO 3"),
        QStringLiteral("INSERT INTO PRODUCT VALUES (10, \"Rope, 20 m\", 14.50, 40, NULL)"),
        QStringLiteral("INSERT INTO PRODUCT VALUES (11, \"Lantern\", 32.00, 12, NULL)"),
        QStringLiteral("INSERT INTO PRODUCT VALUES (12, \"Tarpaulin 3x4\", 21.75, 25, NULL)"),
        QStringLiteral("EXECUTE PROCEDURE PLACE_ORDER 1, 10, 3"),
        QStringLiteral("EXECUTE PROCEDURE PLACE_ORDER 2, 11, 1"),
    };
}

void createSampleDatabase(const QString &path)
{
    createDatabaseWith(path, 1, sampleSchema());
}

void ensureSampleDatabase()
{
    const QString path = Runtime::sampleDatabasePath();
    if (!QFile::exists(path))
        createSampleDatabase(path);
}

} // namespace engine
