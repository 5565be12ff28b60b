SELECT dept, ROW_NUMBER() OVER(PARTITION BY dept ORDER BY salary DESC) AS rn
FROM emp e
FULL OUTER JOIN dept d ON e.dept_id = d.id
CROSS JOIN params
WHERE EXISTS (
    SELECT 1
    FROM audit a
    WHERE a.emp = e.id
)
    AND NOT e.retired
UNION ALL
SELECT dept, 0
FROM archive;

CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, price DECIMAL(10, 2));

SELECT @select, $1, .5 + 1e3, CAST(x AS NVARCHAR(10))
FROM MyTable;
