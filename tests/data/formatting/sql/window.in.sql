SELECT dept, ROW_NUMBER() OVER (PARTITION BY dept ORDER BY salary DESC) AS rn
FROM emp e FULL OUTER JOIN dept d ON e.dept_id = d.id CROSS JOIN params
WHERE EXISTS (SELECT 1 FROM audit a WHERE a.emp = e.id) AND NOT e.retired
UNION ALL
SELECT dept, 0 FROM archive;
create table t (id int primary key, name varchar(20) not null, price decimal(10, 2));
select @select, $1, .5 + 1e3, cast(x as nvarchar(10)) from MyTable;
