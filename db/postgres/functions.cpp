// The dialect's functions as PostgreSQL functions, created in every database
// the layer makes or adopts, before its schema. The ones a search evaluates on
// every row are single SQL expressions, which the planner inlines (and so can
// match an index on them); the rest are PL/pgSQL.
//
// The SQL functions are not declared STRICT where their body is a CASE: the
// planner inlines a strict function only when its body is strict as well, and
// a NULL argument gives NULL through them all the same. Their bodies use only
// immutable operations (a number joins a text through an explicit cast), or
// the planner would not inline them either.
//
// An error of SQL Server's (a conversion that fails, a negative length) is
// raised with the SQLSTATE ZV001, its description as the message and its
// number as the hint; the layer raises it again with that number. zv_fail is
// declared immutable so that the functions calling it stay inlinable; every
// call passes it the value that failed, so the planner never evaluates it
// ahead of time for a value that is not there.
#include "db/postgres/postgres.h"

namespace zurvafun::db::detail::postgres {

const char* functionsSql() {
  return R"sql(
DO $$ BEGIN
  CREATE DOMAIN zv_bit AS smallint;
EXCEPTION WHEN duplicate_object THEN NULL;
END $$;

CREATE OR REPLACE FUNCTION zv_fail(num bigint, msg text) RETURNS integer
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
BEGIN
  RAISE EXCEPTION USING ERRCODE = 'ZV001', MESSAGE = msg, HINT = num::text;
END $$;

-- A random whole number below 2^40 (a database's identity).
CREATE OR REPLACE FUNCTION zv_random() RETURNS bigint LANGUAGE sql VOLATILE AS
$$ SELECT floor(random() * 1099511627776)::bigint $$;

-- The default collation's key: ASCII letters folded, trailing blanks dropped,
-- compared byte by byte.
CREATE OR REPLACE FUNCTION zv_key(text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS
$$ SELECT rtrim(translate($1, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz'), ' ') COLLATE "C" $$;

-- ASCII letters folded (a LIKE's value, matched with its blanks).
CREATE OR REPLACE FUNCTION zv_fold(text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS
$$ SELECT translate($1, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') COLLATE "C" $$;

CREATE OR REPLACE FUNCTION zv_left(text, integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT CASE WHEN $2 < 0 THEN zv_fail(-2147217900, '传递给 LEFT 或 SUBSTRING 函数的长度参数无效。' || $2::text)::text
               ELSE left($1, $2) END $$;

CREATE OR REPLACE FUNCTION zv_right(text, integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT CASE WHEN $2 < 0 THEN zv_fail(-2147217900, '传递给 RIGHT 函数的长度参数无效。' || $2::text)::text
               ELSE right($1, $2) END $$;

CREATE OR REPLACE FUNCTION zv_substring(text, integer, integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT CASE WHEN $3 < 0 THEN zv_fail(-2147217900, '传递给 LEFT 或 SUBSTRING 函数的长度参数无效。' || $3::text)::text
               ELSE substr($1, $2, $3) END $$;

-- A text to find without letters (the searches' '#12', '-', '#') is found
-- in the value as it stands: folding the whole value first, on every row,
-- cost a search most of its time. With the text a literal, the planner
-- settles that branch once.
CREATE OR REPLACE FUNCTION zv_charindex(text, text) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT CASE WHEN $1 = '' THEN 0
               WHEN $1 !~ '[A-Za-z]' THEN strpos($2, $1 COLLATE "C")
               ELSE strpos(zv_fold($2), zv_fold($1)) END $$;

CREATE OR REPLACE FUNCTION zv_charindex(text, text, integer) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT CASE WHEN $1 = '' THEN 0
               WHEN strpos(zv_fold(substr($2, greatest($3, 1))), zv_fold($1)) = 0 THEN 0
               ELSE strpos(zv_fold(substr($2, greatest($3, 1))), zv_fold($1)) + greatest($3, 1) - 1 END $$;

CREATE OR REPLACE FUNCTION zv_len(text) RETURNS integer
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS
$$ SELECT length(rtrim($1, ' ')) $$;

-- CAST(text AS INT): blanks around and a sign allowed, '' is 0. The usual
-- value (a number of up to nine digits) is matched first, by one expression.
CREATE OR REPLACE FUNCTION zv_toint(text) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT CASE
    WHEN $1 ~ '^ *[-+]?[0-9]{1,9} *$' THEN btrim($1, ' ')::integer
    WHEN $1 ~ '^ *[-+]? *$' THEN 0
    WHEN $1 !~ '^ *[-+]?[0-9]{0,18} *$' THEN
      zv_fail(-2147217913, '在将 varchar 值 ''' || $1 || ''' 转换成数据类型 int 时失败。')
    WHEN btrim($1, ' ')::bigint NOT BETWEEN -2147483648 AND 2147483647 THEN
      zv_fail(-2147217913, 'varchar 值 ''' || $1 || ''' 的转换溢出了 int 列。')
    ELSE btrim($1, ' ')::integer END $$;

CREATE OR REPLACE FUNCTION zv_toint(bigint) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT CASE WHEN $1 NOT BETWEEN -2147483648 AND 2147483647 THEN
    zv_fail(-2147217913, '将表达式转换为数据类型 int 时出现算术溢出错误。' || $1::text) ELSE $1::integer END $$;

CREATE OR REPLACE FUNCTION zv_toint(numeric) RETURNS integer
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS
$$ SELECT zv_toint(trunc($1)::bigint) $$;

CREATE OR REPLACE FUNCTION zv_toint(double precision) RETURNS integer
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS
$$ SELECT zv_toint(trunc($1)::bigint) $$;

-- CAST to tinyint (8), smallint (16) or bigint (64).
CREATE OR REPLACE FUNCTION zv_toint(x text, bits integer) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  lo bigint := CASE bits WHEN 8 THEN 0 WHEN 16 THEN -32768 ELSE -9223372036854775808 END;
  hi bigint := CASE bits WHEN 8 THEN 255 WHEN 16 THEN 32767 ELSE 9223372036854775807 END;
  name text := CASE bits WHEN 8 THEN 'tinyint' WHEN 16 THEN 'smallint' ELSE 'bigint' END;
  n numeric;
BEGIN
  IF x !~ '^ *[-+]?[0-9]* *$' THEN
    PERFORM zv_fail(-2147217913, '在将 varchar 值 ''' || x || ''' 转换成数据类型 ' || name || ' 时失败。');
  END IF;
  n := CASE WHEN x ~ '[0-9]' THEN btrim(x, ' ')::numeric ELSE 0 END;
  IF n < lo OR n > hi THEN
    PERFORM zv_fail(-2147217913, 'varchar 值 ''' || x || ''' 的转换溢出了 ' || name || ' 列。');
  END IF;
  RETURN n;
END $$;

CREATE OR REPLACE FUNCTION zv_toint(x numeric, bits integer) RETURNS bigint
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS
$$ SELECT zv_toint(trunc(x)::text, bits) $$;

-- The number of a text that converts to int, else NULL: never fails, so that
-- an index can hold it.
CREATE OR REPLACE FUNCTION zv_int(text) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT CASE WHEN $1 ~ '^ *[-+]?[0-9]{0,9} *$' THEN
    CASE WHEN $1 !~ '[0-9]' THEN 0 ELSE btrim($1, ' ')::integer END END $$;

-- The values derived from a member's packed data (userdata): the birth
-- year, its first four characters, when they convert to int (else NULL); and
-- part 1 (province) or 2 (city) of the place of residence, item 6 of the
-- "#"-separated items, itself "province-city" ('' for what is not there).
CREATE OR REPLACE FUNCTION zv_birthyear(text) RETURNS integer
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS
$$ SELECT zv_int(left($1, 4)) $$;

CREATE OR REPLACE FUNCTION zv_place(text, integer) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS
$$ SELECT split_part(split_part($1, '#', 6), '-', $2) $$;

CREATE OR REPLACE FUNCTION zv_tonum(text) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT CASE WHEN $1 ~ '^ *[-+]?([0-9]+\.?[0-9]*|\.[0-9]+) *$' THEN btrim($1, ' ')::numeric
               ELSE zv_fail(-2147217913, '从数据类型 varchar 转换为 numeric 时出错。' || left($1, 0))::numeric END $$;

CREATE OR REPLACE FUNCTION zv_tonum(numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT $1 $$;

CREATE OR REPLACE FUNCTION zv_todate(text) RETURNS timestamp(0)
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
BEGIN
  RETURN replace($1, '/', '-')::timestamp(0);
EXCEPTION WHEN data_exception THEN
  PERFORM zv_fail(-2147217913, '从字符串转换日期和/或时间时，转换失败。');
  RETURN NULL;
END $$;

CREATE OR REPLACE FUNCTION zv_todate(timestamp) RETURNS timestamp(0)
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT $1::timestamp(0) $$;

-- DATEADD with a canonical part (yyyy q m d ww h n s).
CREATE OR REPLACE FUNCTION zv_dateadd(part text, n integer, d timestamp) RETURNS timestamp(0)
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT (d + CASE part WHEN 'yyyy' THEN make_interval(years => n) WHEN 'q' THEN make_interval(months => 3 * n)
                         WHEN 'm' THEN make_interval(months => n) WHEN 'd' THEN make_interval(days => n)
                         WHEN 'ww' THEN make_interval(days => 7 * n) WHEN 'h' THEN make_interval(hours => n)
                         WHEN 'n' THEN make_interval(mins => n) ELSE make_interval(secs => n) END)::timestamp(0) $$;

-- DATEDIFF: the boundaries of the part between a and b.
CREATE OR REPLACE FUNCTION zv_datediff(part text, a timestamp, b timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$ SELECT CASE part
    WHEN 'yyyy' THEN (extract(year FROM b) - extract(year FROM a))::bigint
    WHEN 'q' THEN ((extract(year FROM b) * 4 + extract(quarter FROM b)) - (extract(year FROM a) * 4 + extract(quarter FROM a)))::bigint
    WHEN 'm' THEN ((extract(year FROM b) * 12 + extract(month FROM b)) - (extract(year FROM a) * 12 + extract(month FROM a)))::bigint
    WHEN 'd' THEN (b::date - a::date)::bigint
    WHEN 'ww' THEN (((b::date - extract(dow FROM b)::integer) - (a::date - extract(dow FROM a)::integer)) / 7)::bigint
    WHEN 'h' THEN (floor(extract(epoch FROM b) / 3600) - floor(extract(epoch FROM a) / 3600))::bigint
    WHEN 'n' THEN (floor(extract(epoch FROM b) / 60) - floor(extract(epoch FROM a) / 60))::bigint
    ELSE (floor(extract(epoch FROM b)) - floor(extract(epoch FROM a)))::bigint END $$;

-- A LIKE pattern of SQL Server's as a regular expression over zv_fold of the
-- value: % any run, _ one character, [sets], trailing blanks of the value not
-- significant. (The layer converts a pattern it binds itself; this serves a
-- pattern computed in the statement.)
CREATE OR REPLACE FUNCTION zv_likeregex(p text) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  out text := '^';
  i integer := 1;
  c text;
  j integer;
BEGIN
  p := zv_fold(p);
  WHILE i <= length(p) LOOP
    c := substr(p, i, 1);
    IF c = '%' THEN out := out || '.*';
    ELSIF c = '_' THEN out := out || '.';
    ELSIF c = '[' AND strpos(substr(p, i + 2), ']') > 0 THEN
      j := i + 1 + strpos(substr(p, i + 2), ']');
      out := out || '[' || replace(replace(substr(p, i + 1, j - i - 1), '\', '\\'), '[', '\[') || ']';
      i := j;
    ELSE out := out || regexp_replace(c, '([.^$*+?()\[\]{}|\\-])', '\\\1', 'g');
    END IF;
    i := i + 1;
  END LOOP;
  RETURN out || ' *$';
END $$;

CREATE OR REPLACE FUNCTION zv_patindex(p text, s text) RETURNS integer
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
  body text := ltrim(p, '%');
  re text;
BEGIN
  IF body = '' THEN RETURN 1; END IF;
  IF body = p THEN RETURN CASE WHEN zv_fold(s) ~ zv_likeregex(p) THEN 1 ELSE 0 END; END IF;
  re := zv_likeregex(body);
  FOR i IN 1 .. length(s) LOOP
    IF zv_fold(substr(s, i)) ~ re THEN RETURN i; END IF;
  END LOOP;
  RETURN 0;
END $$;
)sql";
}

}  // namespace zurvafun::db::detail::postgres
