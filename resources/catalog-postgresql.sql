-- The shared feed catalog on PostgreSQL: one row per feed address, searched by substring.
--
-- Applied by the program on its first connection when catalog_search or catalog_save is
-- missing, inside one transaction holding an advisory lock, so clients starting together apply
-- it once; every statement is idempotent, so applying it again by hand is harmless too. It
-- works in the first schema of the search_path in force when it is applied.
--
-- Clients need nothing but the two functions below. They run as the owner of this schema
-- (SECURITY DEFINER), so a deployment can give the program a role that may do nothing else:
--
--   CREATE ROLE pressling_client LOGIN PASSWORD '...';
--   GRANT CONNECT ON DATABASE catalog TO pressling_client;
--   GRANT USAGE ON SCHEMA public TO pressling_client;
--   -- EXECUTE on functions is granted to PUBLIC by default; the table is granted to no one.
--
-- Such a role cannot read the table directly, delete rows, or change the schema; it can only
-- search (at most 50 rows per call) and add or update a feed.

DO $$
BEGIN
    -- Case-insensitive matching of non-ASCII text (ÉCOLE finds école) needs UTF-8 text.
    IF current_setting('server_encoding') <> 'UTF8' THEN
        RAISE EXCEPTION 'the feed catalog needs a UTF8 database, but % is %',
            current_database(), current_setting('server_encoding');
    END IF;
END
$$;

CREATE EXTENSION IF NOT EXISTS pg_trgm;

-- The folded_ columns hold each field in lower case, computed once on write: folding on every
-- search would cost more than the rest of the search together. lower() under the ICU root
-- collation folds by Unicode rules whatever locale the database was created with (a database
-- in the "C" locale would fold ASCII only).
CREATE TABLE IF NOT EXISTS feed (
    url   text PRIMARY KEY CHECK (url <> ''),
    name  text NOT NULL,
    about text NOT NULL,
    folded_name  text GENERATED ALWAYS AS (lower(name COLLATE "und-x-icu")) STORED,
    folded_about text GENERATED ALWAYS AS (lower(about COLLATE "und-x-icu")) STORED,
    folded_url   text GENERATED ALWAYS AS (lower(url COLLATE "und-x-icu")) STORED
);

-- Text that few feeds contain is looked up in the trigram indexes; text that many contain is
-- found sooner by walking the feeds in name order until 50 match.
CREATE INDEX IF NOT EXISTS feed_name_trgm ON feed USING gin (folded_name gin_trgm_ops);
CREATE INDEX IF NOT EXISTS feed_about_trgm ON feed USING gin (folded_about gin_trgm_ops);
CREATE INDEX IF NOT EXISTS feed_url_trgm ON feed USING gin (folded_url gin_trgm_ops);
CREATE INDEX IF NOT EXISTS feed_by_name ON feed (name COLLATE "C", url COLLATE "C");

-- Feeds whose name, about or url contains query, ignoring case, sorted by name (by code
-- point, like the embedded catalog) and then url, at most max_results and never more than 50.
-- The query is used as given: no trimming, and %, _ and \ in it are ordinary characters.
-- Planned afresh for each query (force_custom_plan): which of the two ways above is quicker
-- depends on how many feeds contain that text, and a plan cached for one text would be kept
-- for all.
CREATE OR REPLACE FUNCTION catalog_search(query text, max_results integer)
RETURNS TABLE (url text, name text, about text)
LANGUAGE plpgsql STABLE SECURITY DEFINER
SET plan_cache_mode = force_custom_plan
AS $$
DECLARE
    pattern text := '%' || replace(replace(replace(lower(query COLLATE "und-x-icu"),
                                   '\', '\\'), '%', '\%'), '_', '\_') || '%';
BEGIN
    RETURN QUERY
        SELECT f.url, f.name, f.about
        FROM feed AS f
        WHERE f.folded_name LIKE pattern
           OR f.folded_about LIKE pattern
           OR f.folded_url LIKE pattern
        ORDER BY f.name COLLATE "C", f.url COLLATE "C"
        LIMIT least(greatest(coalesce(max_results, 0), 0), 50);
END
$$;

-- Adds the feed at feed_url, or gives the known one a new name and about; returns the row.
CREATE OR REPLACE FUNCTION catalog_save(feed_url text, feed_name text, feed_about text)
RETURNS TABLE (url text, name text, about text)
LANGUAGE sql VOLATILE SECURITY DEFINER
AS $$
    INSERT INTO feed AS f (url, name, about)
    VALUES (feed_url, feed_name, feed_about)
    ON CONFLICT (url) DO UPDATE SET name = EXCLUDED.name, about = EXCLUDED.about
    RETURNING f.url, f.name, f.about;
$$;

-- A SECURITY DEFINER function must not resolve names through a search_path its caller
-- controls: pin it to the schemas in force now (where the table and pg_trgm were found), with
-- pg_temp last so a caller's temporary table cannot stand in for feed.
DO $$
DECLARE
    schemas text := (SELECT string_agg(quote_ident(s), ', ')
                     FROM unnest(current_schemas(false)) AS s);
BEGIN
    EXECUTE format('ALTER FUNCTION catalog_search(text, integer) SET search_path = %s, pg_temp',
                   schemas);
    EXECUTE format('ALTER FUNCTION catalog_save(text, text, text) SET search_path = %s, pg_temp',
                   schemas);
END
$$;
